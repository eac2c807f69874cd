#include "app/CommandLine.h"
#include "app/DesktopLauncher.h"

#include <iostream>

// korvel: the commands that need no desktop run here, linked against the core alone so that a status bar polling
// every few seconds pays for a small process; everything else is the desktop executable's, which takes this
// process's place with the same arguments.
int main(int argc, char** argv)
{
    const Invocation invocation = CommandLine::parse(std::vector<std::string>(argv, argv + argc));
    if (CommandLine::needsDesktop(invocation.command))
        return DesktopLauncher::replaceProcess(argv, std::cerr);
    return CommandLine::run(invocation, std::cout, std::cerr);
}
