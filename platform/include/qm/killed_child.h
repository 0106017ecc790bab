// Test helper: a writer process killed at a chosen moment. The child prints "ready" once it
// starts writing and then one line per step; it is killed with SIGKILL `delay` after "ready"
// (or dies by itself at a kill point, QM_KILL_AT in `env`).
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qm::test
{
struct KilledRun
{
    bool ready = false;          // the child said "ready"
    bool killed = false;         // it ended by SIGKILL (ours or its own)
    std::vector<std::string> lines; // what it printed after "ready"
};

inline KilledRun RunAndKill(const std::string& program, std::vector<std::string> args,
                            const std::vector<std::string>& env, std::chrono::microseconds delay)
{
    KilledRun run;
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore(env);
    for (char** e = environ; *e; ++e)
        envStore.emplace_back(*e); // the first of equal names wins for getenv
    std::vector<char*> envp;
    for (auto& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int fds[2];
    if (pipe(fds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0)
    {
        close(fds[0]);
        return run;
    }
    std::string text;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        text += c;
    run.ready = text == "ready";
    int status = 0;
    bool ended = false;
    if (run.ready)
    {
        // Sleeps in short steps so that a child that dies by itself ends the wait.
        auto until = std::chrono::steady_clock::now() + delay;
        while (!ended && std::chrono::steady_clock::now() < until)
        {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended)
                std::this_thread::sleep_for(std::min<std::chrono::microseconds>(
                    std::chrono::microseconds(200), delay));
        }
    }
    if (!ended)
        kill(pid, SIGKILL);
    text.clear();
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    close(fds[0]);
    if (!ended)
        waitpid(pid, &status, 0);
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        run.lines.push_back(line);
    return run;
}

// Runs the writer `rounds` times, each killed at a random moment up to 15 ms after "ready", and
// hands each run to `take` to check. Stops at the first failure; *pAmongWrites counts the runs
// killed after their first step began.
template <class Take>
void KillAtRandomMoments(const std::string& program, const std::vector<std::string>& args, int rounds, Take take,
                         int* pAmongWrites)
{
    std::random_device rd;
    const unsigned seed = rd();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delay(0, 15000);
    for (int round = 0; round < rounds; ++round)
    {
        SCOPED_TRACE("round " + std::to_string(round));
        auto run = RunAndKill(program, args, {}, std::chrono::microseconds(delay(random)));
        ASSERT_TRUE(run.ready);
        ASSERT_TRUE(run.killed);
        *pAmongWrites += run.lines.empty() ? 0 : 1;
        take(run);
        if (::testing::Test::HasFailure())
            return;
    }
}
} // namespace qm::test
