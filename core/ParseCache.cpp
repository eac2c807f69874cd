#include "core/ParseCache.h"

#include "core/DataDirectory.h"
#include "core/RecordCodec.h"

#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bumped whenever the layout or the records change: any other value is a foreign cache and is replaced.
constexpr std::string_view kFormat = "korvel-parse-cache 4";

constexpr char kSchema[] = R"(
    CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value BLOB NOT NULL) WITHOUT ROWID;
    CREATE TABLE IF NOT EXISTS logs(path BLOB PRIMARY KEY, record BLOB NOT NULL) WITHOUT ROWID;
    CREATE TABLE IF NOT EXISTS snapshot(id INTEGER PRIMARY KEY CHECK (id = 1), record BLOB NOT NULL);
)";

class Statement
{
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }
    bool bind(int index, std::string_view bytes)
    {
        return sqlite3_bind_blob64(m_stmt, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    int step() { return sqlite3_step(m_stmt); }
    bool run()
    {
        const bool done = step() == SQLITE_DONE;
        sqlite3_reset(m_stmt);
        return done;
    }
    std::string_view column(int index)
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, index));
        return {data ? data : "", static_cast<size_t>(sqlite3_column_bytes(m_stmt, index))};
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<std::string> metaValue(sqlite3* db, std::string_view key)
{
    Statement select(db, "SELECT value FROM meta WHERE key = ?1");
    if (!select || !select.bind(1, key) || select.step() != SQLITE_ROW)
        return std::nullopt;
    return std::string(select.column(0));
}

bool setMeta(sqlite3* db, std::string_view key, std::string_view value)
{
    Statement upsert(db, "INSERT OR REPLACE INTO meta(key, value) VALUES (?1, ?2)");
    return upsert && upsert.bind(1, key) && upsert.bind(2, value) && upsert.run();
}

void removeFiles(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::remove((path + suffix).c_str());
}

// The cache lists every edited file path: only its owner may read it, whatever the umask. SQLite gives its log
// files the mode of the database file.
void createPrivately(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        fchmod(fd, 0600);
        close(fd);
    }
}

// Opens the database and makes it a cache of this format; null when the file is not one.
sqlite3* openAs(const std::string& path)
{
    createPrivately(path);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    // Another Korvel (the application and a command) may be writing: wait a little rather than fail.
    sqlite3_busy_timeout(db, 2000);
    const bool usable = exec(db, "PRAGMA journal_mode = WAL") && exec(db, "PRAGMA synchronous = NORMAL") &&
                        exec(db, kSchema) && sqlite3_db_readonly(db, "main") == 0;
    const auto format = usable ? metaValue(db, "format") : std::nullopt;
    bool ready = usable && format == kFormat;
    if (usable && !format) {
        Statement any(db, "SELECT 1 FROM logs LIMIT 1");
        // A new file becomes a cache; a file with rows but no format is someone else's.
        ready = any && any.step() == SQLITE_DONE && setMeta(db, "format", kFormat);
    }
    if (!ready) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

} // namespace

std::string ParseCache::url()
{
    return DataDirectory::file("parse-cache.db");
}

std::unique_ptr<ParseCache> ParseCache::open(const std::string& path, bool fresh)
{
    if (fresh)
        removeFiles(path);
    sqlite3* db = openAs(path);
    if (!db) {
        // Damaged or foreign: replace it.
        removeFiles(path);
        db = openAs(path);
    }
    return db ? std::unique_ptr<ParseCache>(new ParseCache(db)) : nullptr;
}

ParseCache::~ParseCache()
{
    sqlite3_close(m_db);
}

void ParseCache::noteFailure()
{
    const int code = sqlite3_errcode(m_db);
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        m_damaged = true;
}

std::optional<FoldSnapshot> ParseCache::snapshot()
{
    Statement select(m_db, "SELECT record FROM snapshot WHERE id = 1");
    const int rc = select ? select.step() : SQLITE_ERROR;
    if (rc != SQLITE_ROW) {
        noteFailure();
        return std::nullopt;
    }
    return RecordCodec::decodeSnapshot(select.column(0));
}

void ParseCache::forEachLog(const std::function<void(std::string path, StoredLog stored)>& onLog)
{
    Statement select(m_db, "SELECT path, record FROM logs");
    int rc = SQLITE_ERROR;
    while (select && (rc = select.step()) == SQLITE_ROW) {
        const std::string_view path = select.column(0);
        if (auto stored = RecordCodec::decodeLog(path, select.column(1)))
            onLog(std::string(path), std::move(*stored));
    }
    if (rc != SQLITE_DONE)
        noteFailure();
}

bool ParseCache::save(const Changes& changes)
{
    if (!exec(m_db, "BEGIN IMMEDIATE"))
        return false;
    Statement write(m_db, "INSERT OR REPLACE INTO logs(path, record) VALUES (?1, ?2)");
    Statement remove(m_db, "DELETE FROM logs WHERE path = ?1");
    bool ok = write && remove;
    for (const Written& w : changes.written)
        ok = ok && write.bind(1, w.path) && write.bind(2, RecordCodec::encode(w.path, w.note, *w.log)) &&
             write.run();
    for (const std::string& path : changes.removed)
        ok = ok && remove.bind(1, path) && remove.run();
    if (changes.snapshot) {
        Statement put(m_db, "INSERT OR REPLACE INTO snapshot(id, record) VALUES (1, ?1)");
        ok = ok && put && put.bind(1, RecordCodec::encode(*changes.snapshot)) && put.run();
    } else {
        ok = ok && exec(m_db, "DELETE FROM snapshot");
    }
    if (ok && exec(m_db, "COMMIT"))
        return true;
    noteFailure();
    exec(m_db, "ROLLBACK");
    return false;
}
