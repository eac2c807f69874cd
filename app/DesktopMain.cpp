#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DesktopCommands.h"

#include <iostream>

// The desktop executable: the application and the commands that need its libraries. korvel starts it for those;
// run by itself it also takes every other command.
int main(int argc, char** argv)
{
    const Invocation invocation = CommandLine::parse(std::vector<std::string>(argv, argv + argc));
    if (invocation.command == Command::Application)
        return runApplication(argc, argv);
    if (CommandLine::needsDesktop(invocation.command))
        return DesktopCommands::run(invocation, std::cout, std::cerr);
    return CommandLine::run(invocation, std::cout, std::cerr);
}
