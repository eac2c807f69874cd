#include "core/ParseCache.h"

#include "core/DataDirectory.h"
#include "core/RecordCodec.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

bool setMeta(sqlite3* db, std::string_view key, std::string_view value)
{
    Statement upsert(db, "INSERT OR REPLACE INTO meta(key, value) VALUES (?1, ?2)");
    return upsert && upsert.bind(1, key) && upsert.bind(2, value) && upsert.run();
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

// How long a build waits for another Korvel's write to the cache before it reads without writing.
constexpr int kBusyWaitMs = 5000;
constexpr size_t kDamagedCopiesKept = 3;

enum class Opening { Ready, Busy, Damaged, Unusable };

struct Opened
{
    sqlite3* db = nullptr;
    Opening outcome = Opening::Unusable;
};

// What the last failure on db says of the file: only what SQLite cannot read as a database is damaged.
Opening failureOf(sqlite3* db)
{
    switch (sqlite3_errcode(db) & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Opening::Busy;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return Opening::Damaged;
    default:
        return Opening::Unusable;
    }
}

Opened failed(sqlite3* db, Opening outcome)
{
    // Closed once the statements still open in the caller's scope are finalized.
    sqlite3_close_v2(db);
    return {nullptr, outcome};
}

// The format stored in db: absent when there is none (a new file); an error reading it is the outcome.
std::optional<std::string> storedFormat(sqlite3* db, Opening& error)
{
    error = Opening::Ready;
    Statement select(db, "SELECT value FROM meta WHERE key = ?1");
    if (!select || !select.bind(1, "format")) {
        // No meta table is a new or foreign file; anything else is a failure.
        if (const Opening outcome = failureOf(db); outcome != Opening::Unusable)
            error = outcome;
        return std::nullopt;
    }
    const int rc = select.step();
    if (rc == SQLITE_ROW)
        return std::string(select.column(0));
    if (rc != SQLITE_DONE)
        error = failureOf(db);
    return std::nullopt;
}

// Opens the database and makes it a cache of this format. Opening a cache that exists writes nothing, so that a
// build is not held up by another one's write.
Opened openAs(const std::string& path)
{
    struct stat st
    {
    };
    if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return {nullptr, Opening::Damaged}; // a folder or something else in its place
    createPrivately(path);
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return failed(db, rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT ? Opening::Damaged : Opening::Unusable);
    sqlite3_busy_timeout(db, kBusyWaitMs);
    if (!exec(db, "PRAGMA synchronous = NORMAL") || sqlite3_db_readonly(db, "main") != 0)
        return failed(db, failureOf(db));
    Opening error;
    const auto format = storedFormat(db, error);
    if (error != Opening::Ready)
        return failed(db, error);
    if (format == kFormat)
        return {db, Opening::Ready};
    if (format)
        return failed(db, Opening::Damaged); // another format, or someone else's
    // A new file: pages of 16 KB hold several records each, so a first build writes a quarter of the pages it would
    // with the default size (the page size can only be set before the first table).
    if (!exec(db, "PRAGMA page_size = 16384") || !exec(db, "PRAGMA journal_mode = WAL") || !exec(db, kSchema))
        return failed(db, failureOf(db));
    // A new file becomes a cache; a file with rows but no format is someone else's.
    Statement any(db, "SELECT 1 FROM logs LIMIT 1");
    const int first = any ? any.step() : SQLITE_ERROR;
    if (first == SQLITE_ROW)
        return failed(db, Opening::Damaged);
    if (first != SQLITE_DONE || !setMeta(db, "format", kFormat))
        return failed(db, failureOf(db));
    return {db, Opening::Ready};
}

// The cache as it stands, to read while another process writes it.
Opened openReadOnly(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return failed(db, Opening::Unusable);
    sqlite3_busy_timeout(db, kBusyWaitMs);
    Opening error;
    if (storedFormat(db, error) != kFormat)
        return failed(db, Opening::Unusable);
    return {db, Opening::Busy};
}

std::string utcStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// Keeps the newest few damaged copies beside path; their names sort by time.
void pruneDamagedCopies(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".damaged-";
    std::vector<std::string> copies;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr) {
        const std::string_view name(entry->d_name);
        if (name.starts_with(prefix) && !name.ends_with("-wal") && !name.ends_with("-journal"))
            copies.emplace_back(name);
    }
    std::sort(copies.begin(), copies.end());
    for (size_t i = 0; i + kDamagedCopiesKept < copies.size(); ++i)
        for (const char* suffix : {"", "-wal", "-journal"})
            std::remove((folder + "/" + copies[i] + suffix).c_str());
}

// A damaged cache is renamed, never deleted: it may still hold what a deleted log contributed.
void setAside(const std::string& path)
{
    struct stat st
    {
    };
    if (lstat(path.c_str(), &st) != 0)
        return;
    std::string aside = path + ".damaged-" + utcStamp();
    for (int n = 2; lstat(aside.c_str(), &st) == 0; ++n)
        aside = path + ".damaged-" + utcStamp() + "-" + std::to_string(n);
    if (std::rename(path.c_str(), aside.c_str()) != 0)
        return;
    for (const char* suffix : {"-wal", "-journal"})
        std::rename((path + suffix).c_str(), (aside + suffix).c_str());
    std::remove((path + "-shm").c_str()); // an index of the log, rebuilt from it
    std::fprintf(stderr, "korvel: the parse cache was damaged; it was moved to %s and is made anew\n", aside.c_str());
    pruneDamagedCopies(path);
}

} // namespace

std::string ParseCache::url()
{
    return DataDirectory::file("parse-cache.db");
}

std::unique_ptr<ParseCache> ParseCache::open(const std::string& path, bool fresh)
{
    if (fresh)
        setAside(path);
    Opened opened = openAs(path);
    if (opened.outcome == Opening::Damaged) {
        setAside(path);
        opened = openAs(path);
    }
    // Busy is not damaged: another Korvel is writing. This build reads what it can see and writes nothing.
    const bool readOnly = opened.outcome == Opening::Busy;
    if (readOnly)
        opened = openReadOnly(path);
    return opened.db ? std::unique_ptr<ParseCache>(new ParseCache(opened.db, readOnly)) : nullptr;
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

std::optional<LedgerState> ParseCache::ledgerState()
{
    Statement select(m_db, "SELECT value FROM meta WHERE key = 'ledger-state'");
    const int rc = select ? select.step() : SQLITE_ERROR;
    if (rc != SQLITE_ROW) {
        noteFailure();
        return std::nullopt;
    }
    return RecordCodec::decodeState(select.column(0));
}

std::optional<StoredLog> ParseCache::readLog(const std::string& path)
{
    Statement select(m_db, "SELECT record FROM logs WHERE path = ?1");
    const int rc = select && select.bind(1, path) ? select.step() : SQLITE_ERROR;
    if (rc != SQLITE_ROW) {
        noteFailure();
        return std::nullopt;
    }
    return RecordCodec::decodeLog(path, select.column(0));
}

void ParseCache::forEachPath(const std::function<void(std::string_view path)>& onPath)
{
    Statement select(m_db, "SELECT path FROM logs");
    int rc = SQLITE_ERROR;
    while (select && (rc = select.step()) == SQLITE_ROW)
        onPath(select.column(0));
    if (rc != SQLITE_DONE)
        noteFailure();
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
    if (m_readOnly || !exec(m_db, "BEGIN IMMEDIATE"))
        return false;
    Statement write(m_db, "INSERT OR REPLACE INTO logs(path, record) VALUES (?1, ?2)");
    Statement remove(m_db, "DELETE FROM logs WHERE path = ?1");
    bool ok = write && remove;
    for (const Written& w : changes.written)
        ok = ok && write.bind(1, w.path) && write.bind(2, RecordCodec::encode(w.path, w.note, *w.log)) && write.run();
    for (const std::string& path : changes.removed)
        ok = ok && remove.bind(1, path) && remove.run();
    if (changes.snapshot) {
        Statement put(m_db, "INSERT OR REPLACE INTO snapshot(id, record) VALUES (1, ?1)");
        ok = ok && put && put.bind(1, RecordCodec::encode(*changes.snapshot)) && put.run();
    } else {
        ok = ok && exec(m_db, "DELETE FROM snapshot");
    }
    // The state goes with the snapshot: one without the other would describe other files.
    if (changes.snapshot && changes.state) {
        Statement state(m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES ('ledger-state', ?1)");
        ok = ok && state && state.bind(1, RecordCodec::encode(*changes.state)) && state.run();
    } else {
        ok = ok && exec(m_db, "DELETE FROM meta WHERE key = 'ledger-state'");
    }
    if (ok && exec(m_db, "COMMIT"))
        return true;
    noteFailure();
    exec(m_db, "ROLLBACK");
    return false;
}
