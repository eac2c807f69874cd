#pragma once

#include "core/LedgerState.h"
#include "core/StoredLog.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

/// The parse cache: per log file path, the file's stamp when it was read and what it holds, so that a file is read
/// again only when its modification time or size changes; and the snapshot of the last fold, so that a build that
/// finds nothing changed folds nothing. An SQLite database in write-ahead-log mode, one row per log file: a change
/// rewrites only its rows, and a crash at any moment leaves the old or the new state whole. A missing file is made
/// anew; a damaged or foreign one is set aside (renamed, the last three kept) and made anew; a file that another
/// process holds for writing is read but not written. Rows of logs that are gone are kept (they hold the only copy of
/// what those logs contributed); each row says which zone its days were made in.
class ParseCache
{
public:
    /// "parse-cache.db" in the data directory.
    static std::string url();

    /// Opens the cache at path, creating it or setting a damaged one aside as needed (always setting it aside when
    /// fresh is set); null when no cache can be had there (the build then runs without one). When another process
    /// holds the database for writing longer than a few seconds, the cache opens read-only: save writes nothing.
    static std::unique_ptr<ParseCache> open(const std::string& path, bool fresh = false);
    ~ParseCache();
    ParseCache(const ParseCache&) = delete;
    ParseCache& operator=(const ParseCache&) = delete;

    /// The stored snapshot, when there is one that decodes.
    std::optional<FoldSnapshot> snapshot();
    /// The ledger's state stored with the snapshot, when there is one that decodes.
    std::optional<LedgerState> ledgerState();
    /// The record of the log file at path, when there is one that decodes.
    std::optional<StoredLog> readLog(const std::string& path);

    /// Calls onPath with the path of every stored record, without reading the records.
    void forEachPath(const std::function<void(std::string_view path)>& onPath);

    /// Calls onLog with every stored record that decodes, in path order (bytewise); records that do not are left for
    /// the next save to drop.
    void forEachLog(const std::function<void(std::string path, StoredLog stored)>& onLog);

    /// One record to write: the log file at path, read at stamp.
    struct Written
    {
        std::string path;
        LogNote note;
        const ParsedLog* log;
    };

    /// What one save changes.
    struct Changes
    {
        std::vector<Written> written;
        std::vector<std::string> removed;
        /// The new snapshot; absent removes the stored one.
        std::optional<FoldSnapshot> snapshot;
        /// The ledger's state for the same files; only stored with a snapshot.
        const LedgerState* state = nullptr;
    };

    /// Applies the changes in one transaction; false when nothing was written.
    bool save(const Changes& changes);

    /// True once the database reported damage: it is to be replaced by a fresh one.
    bool damaged() const { return m_damaged; }

private:
    ParseCache(sqlite3* db, bool readOnly) : m_db(db), m_readOnly(readOnly) {}
    void noteFailure();

    sqlite3* m_db;
    bool m_readOnly;
    bool m_damaged = false;
};
