#include "app/Application.h"
#include "app/CommandLine.h"

#include <iostream>

int main(int argc, char** argv)
{
    const Invocation invocation = CommandLine::parse(std::vector<std::string>(argv, argv + argc));
    if (invocation.command == Command::Application)
        return runApplication(argc, argv);
    return CommandLine::run(invocation, std::cout, std::cerr);
}
