#include "app/CommandLine.h"

#include <iostream>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv, argv + argc);
    return CommandLine::run(CommandLine::parse(args), std::cout, std::cerr);
}
