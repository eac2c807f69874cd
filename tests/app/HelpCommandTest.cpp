#include "tests/support/RunProgram.h"

#include <gtest/gtest.h>

TEST(HelpCommandTest, HelpAndVersionPrintAndLeaveWithoutADisplay)
{
    const ProgramResult help = runProgram(KORVEL_BINARY, {"--help"}, {});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: korvel [COMMAND]\n", 0), 0u) << help.out;
    for (const char* flag : {"--stats-dir DIR", "--card [PATH]", "--codex", "--sync-dry-run", "--version", "--debug"})
        EXPECT_NE(help.out.find(flag), std::string::npos) << flag;

    const ProgramResult version = runProgram(KORVEL_BINARY, {"--stats", "--version"}, {});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "korvel " KORVEL_VERSION "\n");
}
