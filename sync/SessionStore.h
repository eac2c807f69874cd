#pragma once

#include "sync/AuthSession.h"

#include <QString>
#include <optional>

/// Where the session is kept between runs: one item, replaced as a whole. Calls may come from any thread, one at a
/// time; each returns within a bounded time.
class SessionStore
{
public:
    virtual ~SessionStore() = default;

    /// The stored session; absent when there is none, it does not decode, or the store cannot be read.
    virtual std::optional<AuthSession> load() = 0;
    /// Replaces the stored session; false (with lastError()) when it could not be stored.
    virtual bool save(const AuthSession& session) = 0;
    /// Removes the stored session; false (with lastError()) when it could not be removed.
    virtual bool remove() = 0;
    /// Why the last call failed, without any secret; empty after a success.
    virtual QString lastError() const = 0;
};
