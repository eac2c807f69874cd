// Runs a command and writes its peak resident memory, in kilobytes, to a file. A test cannot take this measure of
// a child it spawns itself: a child started by vfork, as posix_spawn does, inherits the test's own high-water mark
// when it executes. Here the command runs in a child forked from this small process instead.
// Usage: korvel_peak_memory REPORT PROGRAM [ARGUMENTS...]; exits with the command's status.

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: korvel_peak_memory REPORT PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const pid_t pid = fork();
    if (pid < 0)
        return 2;
    if (pid == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return 2;
    if (FILE* report = std::fopen(argv[1], "w")) {
        std::fprintf(report, "%ld\n", usage.ru_maxrss);
        std::fclose(report);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
