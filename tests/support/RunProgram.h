#pragma once

#include <string>
#include <vector>

/// What a finished child process printed and its exit status.
struct ProgramResult
{
    std::string out;
    std::string err;
    int status = -1;
};

/// Runs program with args under an environment holding only env ("NAME=value" entries) and waits for it.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env);
