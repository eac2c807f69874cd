#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

std::string drain(int fd)
{
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fd);
    return out;
}

} // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env)
{
    // Outputs go to temporary files so that a chatty child can never block on a full pipe.
    char outName[] = "/tmp/korvel-out-XXXXXX";
    char errName[] = "/tmp/korvel-err-XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    if (outFd < 0 || errFd < 0)
        throw std::runtime_error("mkstemp failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);

    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = env;
    auto argPtrs = pointers(argv);
    auto envPtrs = pointers(envp);
    pid_t pid = 0;
    ProgramResult result;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argPtrs.data(), envPtrs.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    lseek(outFd, 0, SEEK_SET);
    lseek(errFd, 0, SEEK_SET);
    result.out = drain(outFd);
    result.err = drain(errFd);
    unlink(outName);
    unlink(errName);
    return result;
}
