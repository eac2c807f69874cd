#include "tests/app/KorvelRun.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The report without its first line, the build time.
std::string figures(const ProgramResult& run)
{
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out.substr(std::min(run.out.size(), run.out.find('\n') + 1));
}

ino_t inodeOf(const std::string& path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string storedValue(const std::string& db, const char* key)
{
    sqlite3* handle = nullptr;
    std::string out;
    sqlite3_stmt* select = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(handle, "SELECT value FROM meta WHERE key = ?1", -1, &select, nullptr) == SQLITE_OK &&
        sqlite3_bind_text(select, 1, key, -1, SQLITE_STATIC) == SQLITE_OK && sqlite3_step(select) == SQLITE_ROW)
        out = reinterpret_cast<const char*>(sqlite3_column_text(select, 0));
    sqlite3_finalize(select);
    sqlite3_close(handle);
    return out;
}

// Another process holding the cache for writing, started and waited for by the test.
class Holder
{
public:
    Holder(const std::string& db, int milliseconds)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            execl(KORVEL_CACHE_HOLDER, KORVEL_CACHE_HOLDER, db.c_str(), std::to_string(milliseconds).c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char said[5] = {};
        m_holds = read(out[0], said, 4) == 4 && std::string(said) == "held";
        close(out[0]);
    }
    bool holds() const { return m_holds; }
    int wait()
    {
        int status = -1;
        waitpid(m_pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    bool m_holds = false;
};

class BusyCacheTest : public ::testing::Test
{
protected:
    TempDir home;
    std::string db = home.path() + "/data/Korvel/parse-cache.db";

    void SetUp() override
    {
        home.write(".claude/projects/app/s1.jsonl",
                   edit("2025-04-01T22:31:00Z", 3, 1) + reply("2025-04-01T22:32:00Z", 200));
        home.write(".claude/projects/app/s2.jsonl", edit("2025-04-03T08:00:00Z", 2));
    }
};

} // namespace

TEST_F(BusyCacheTest, ABusyCacheIsWaitedForAndNeverTakenForDamaged)
{
    const std::string clean = figures(korvel(home, {"--stats"}, "Asia/Tokyo"));
    figures(korvel(home, {"--stats"}, "UTC"));
    const ino_t before = inodeOf(db);
    ASSERT_NE(before, 0u);

    // Held longer than a build waits: the build in another zone reads what it can and writes nothing.
    Holder holder(db, 8000);
    ASSERT_TRUE(holder.holds());
    const ProgramResult busy = korvel(home, {"--stats"}, "Asia/Tokyo");
    EXPECT_EQ(figures(busy), clean);
    EXPECT_EQ(busy.err, "") << "busy is not damaged";
    EXPECT_EQ(holder.wait(), 0);
    EXPECT_EQ(inodeOf(db), before) << "the file the holder wrote to is the cache";
    EXPECT_EQ(storedValue(db, "holder"), "committed") << "the holder's commit is kept";
    EXPECT_EQ(figures(korvel(home, {"--stats"}, "Asia/Tokyo")), clean);
}

TEST_F(BusyCacheTest, ADamagedCacheIsSetAsideWhole)
{
    const std::string clean = figures(korvel(home, {"--stats"}));
    const std::string folder = home.path() + "/data/Korvel";
    const auto damagedCopies = [&] {
        std::vector<std::string> copies;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("parse-cache.db.damaged-") &&
                !entry.path().string().ends_with("-wal"))
                copies.push_back(entry.path().string());
        return copies;
    };
    const auto truncate = [&] { std::filesystem::resize_file(db, 1000); };
    const auto garbage = [&] { home.write("data/Korvel/parse-cache.db", std::string(8192, 'x')); };
    const auto foreign = [&] {
        std::filesystem::remove(db);
        sqlite3* handle = nullptr;
        sqlite3_open(db.c_str(), &handle);
        sqlite3_exec(handle, "CREATE TABLE logs(path, record); INSERT INTO logs VALUES ('x', 'y');", nullptr, nullptr,
                     nullptr);
        sqlite3_close(handle);
    };
    const auto folderInItsPlace = [&] {
        std::filesystem::remove(db);
        std::filesystem::create_directory(db);
    };
    const std::pair<const char*, std::function<void()>> damages[] = {{"truncated", truncate},
                                                                     {"garbage header", garbage},
                                                                     {"another schema", foreign},
                                                                     {"a folder", folderInItsPlace}};
    size_t made = 0;
    for (const auto& [what, damage] : damages) {
        damage();
        const ProgramResult run = korvel(home, {"--stats"});
        EXPECT_EQ(figures(run), clean) << what;
        EXPECT_NE(run.err.find("parse cache was damaged; it was moved to " + folder + "/parse-cache.db.damaged-"),
                  std::string::npos)
            << what << ": " << run.err;
        EXPECT_EQ(damagedCopies().size(), std::min<size_t>(++made, 3)) << what << ": the last three are kept";
        EXPECT_EQ(figures(korvel(home, {"--stats"})), clean) << what << ", made anew";
    }
}
