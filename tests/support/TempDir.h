#pragma once

#include <string>
#include <string_view>

/// A fresh folder under the temporary directory, removed with everything in it on destruction.
class TempDir
{
public:
    TempDir();
    /// A fresh folder under parent instead.
    explicit TempDir(const std::string& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }

    /// Writes content to path() joined with relative, creating the folders on the way; returns the full path.
    std::string write(std::string_view relative, std::string_view content) const;

    /// Creates the folder path() joined with relative, with its parents; returns the full path.
    std::string mkdir(std::string_view relative) const;

private:
    std::string m_path;
};
