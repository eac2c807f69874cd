// Holds the parse cache at argv[1] for writing for argv[2] milliseconds, as another Korvel's save would: writes a row
// inside BEGIN IMMEDIATE, says "held" on standard output once it holds the lock, then commits. Exits 0 when the
// commit went through.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK)
        return 1;
    sqlite3_busy_timeout(db, 10000);
    if (sqlite3_exec(db, "BEGIN IMMEDIATE; INSERT OR REPLACE INTO meta(key, value) VALUES ('holder', 'committed')",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    const bool committed = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return committed ? 0 : 1;
}
