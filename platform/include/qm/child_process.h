// Test helper: runs a helper program as a child process on the same machine (the child inherits
// the environment, so QM_MACHINE and QM_ELEVATED carry over) and collects its exit status.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace qm::test
{
// Starts `program` with `args`; its standard output goes to `outFd` when given. -1 on failure.
inline pid_t SpawnChild(const std::string& program, std::vector<std::string> args, int outFd = -1)
{
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The child's exit code, or -1 when it did not exit normally.
inline int WaitChild(pid_t pid)
{
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the child to its end and returns what it wrote; *status is its exit code.
inline std::string ChildOutput(const std::string& program, std::vector<std::string> args, int* status)
{
    int fds[2];
    if (pipe(fds) != 0)
    {
        *status = -1;
        return {};
    }
    pid_t pid = SpawnChild(program, std::move(args), fds[1]);
    close(fds[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    close(fds[0]);
    *status = WaitChild(pid);
    return out;
}
} // namespace qm::test
