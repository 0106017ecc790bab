// Processes: posix_spawn of the program on the same machine; the handle is signalled when it
// ends and holds its exit code.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "kernel_objects.h"
#include "process_start.h"
#include "processthreadsapi.h"
#include "qm/machine.h"
#include "synchapi.h"
#include "utf8_codec.h"
#include "winbase.h"

extern char** environ;

namespace
{
constexpr DWORD kKilledBySignal = 0xC000013A;

class ProcessObject : public qm::kernel32::KernelObject
{
public:
    explicit ProcessObject(pid_t pid) : m_pid(pid) {}
    ~ProcessObject() override
    {
        // Nobody can wait any more: let a reaper collect the child so it leaves no zombie.
        std::lock_guard guard(m_lock);
        if (!m_done)
            std::thread([pid = m_pid] { ::waitpid(pid, nullptr, 0); }).detach();
    }
    DWORD Wait(DWORD ms) override
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms == INFINITE ? 0 : ms);
        for (;;)
        {
            {
                std::lock_guard guard(m_lock);
                if (Reap(ms == INFINITE ? 0 : WNOHANG))
                    return WAIT_OBJECT_0;
            }
            if (ms != INFINITE && std::chrono::steady_clock::now() >= deadline)
                return WAIT_TIMEOUT;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    DWORD ExitCode()
    {
        std::lock_guard guard(m_lock);
        return Reap(WNOHANG) ? m_exitCode : DWORD(STILL_ACTIVE);
    }
    DWORD Pid() const { return DWORD(m_pid); }

private:
    // Called with the lock held. True once the child has ended.
    bool Reap(int options)
    {
        if (m_done)
            return true;
        int status = 0;
        pid_t r;
        do
            r = ::waitpid(m_pid, &status, options);
        while (r < 0 && errno == EINTR);
        if (r != m_pid)
            return false;
        m_done = true;
        m_exitCode = WIFEXITED(status) ? DWORD(WEXITSTATUS(status)) : kKilledBySignal;
        return true;
    }

    pid_t m_pid;
    std::mutex m_lock;
    bool m_done = false;
    DWORD m_exitCode = 0;
};

std::string Utf8(const std::u16string& s)
{
    std::string out;
    qm::kernel32::EncodeUtf8(s.data(), s.size(), false, out);
    return out;
}

std::vector<std::string> ChildEnvironment(bool elevated)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "QM_ELEVATED=", 12) != 0 && std::strncmp(*e, "QM_MACHINE=", 11) != 0)
            env.emplace_back(*e);
    env.push_back("QM_MACHINE=" + qm::MachineDirectory().string());
    env.push_back(std::string("QM_ELEVATED=") + (elevated ? "1" : "0"));
    return env;
}
} // namespace

namespace qm::kernel32
{
std::vector<std::string> SplitCommandLine(const std::u16string& tail)
{
    // Blanks separate arguments outside quotes; 2n backslashes before a quote give n and the
    // quote toggles quoting; 2n+1 give n and a literal quote; other backslashes are literal.
    std::vector<std::string> args;
    std::u16string current;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < tail.size();)
    {
        char16_t c = tail[i];
        if (!quoted && (c == u' ' || c == u'\t'))
        {
            if (inArg)
                args.push_back(Utf8(current));
            current.clear();
            inArg = false;
            ++i;
            continue;
        }
        inArg = true;
        if (c == u'\\')
        {
            size_t n = 0;
            while (i < tail.size() && tail[i] == u'\\')
                ++n, ++i;
            if (i < tail.size() && tail[i] == u'"')
            {
                current.append(n / 2, u'\\');
                if (n % 2)
                    current += u'"', ++i;
            }
            else
                current.append(n, u'\\');
            continue;
        }
        if (c == u'"')
            quoted = !quoted;
        else
            current += c;
        ++i;
    }
    if (inArg)
        args.push_back(Utf8(current));
    return args;
}

HANDLE StartProcess(const std::u16string& program, const std::vector<std::string>& arguments, bool elevated,
                    LPCWSTR currentDirectory, DWORD* processId)
{
    std::string path = MachinePath(program.c_str());
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
    {
        int e = errno;
        bool folderThere = !path.empty() && ::access(std::filesystem::path(path).parent_path().c_str(), F_OK) == 0;
        SetLastError(folderThere && e == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode))
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    // Windows runs any program file it can read: give it the execute permission Linux wants.
    if (!(st.st_mode & S_IXUSR))
        ::chmod(path.c_str(), st.st_mode | S_IXUSR | S_IXGRP | S_IXOTH);
    std::string directory;
    if (currentDirectory)
    {
        directory = MachinePath(currentDirectory);
        if (directory.empty() || ::access(directory.c_str(), F_OK) != 0)
        {
            SetLastError(ERROR_DIRECTORY);
            return nullptr;
        }
    }

    std::vector<std::string> argStore{path};
    argStore.insert(argStore.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore = ChildEnvironment(elevated);
    std::vector<char*> envp;
    for (auto& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
    {
        SetLastError(rc == ENOEXEC ? ERROR_BAD_EXE_FORMAT : rc == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (processId)
        *processId = DWORD(pid);
    return AddObject(std::make_shared<ProcessObject>(pid));
}
} // namespace qm::kernel32

QMAPI BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                                 LPSECURITY_ATTRIBUTES lpProcessAttributes, LPSECURITY_ATTRIBUTES lpThreadAttributes,
                                 BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                                 LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                                 LPPROCESS_INFORMATION lpProcessInformation)
{
    if (!lpProcessInformation || !lpStartupInfo || (!lpApplicationName && !lpCommandLine))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string commandLine = lpCommandLine ? lpCommandLine : u"";
    std::u16string program;
    std::u16string tail;
    // The first word of the command line is the program's name (argv[0]).
    size_t end;
    if (!commandLine.empty() && commandLine[0] == u'"')
    {
        end = commandLine.find(u'"', 1);
        program = commandLine.substr(1, end == std::u16string::npos ? std::u16string::npos : end - 1);
        end = end == std::u16string::npos ? commandLine.size() : end + 1;
    }
    else
    {
        end = commandLine.find_first_of(u" \t");
        if (end == std::u16string::npos)
            end = commandLine.size();
        program = commandLine.substr(0, end);
    }
    tail = commandLine.substr(end);
    if (lpApplicationName)
        program = lpApplicationName;
    if (program.empty())
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    DWORD pid = 0;
    HANDLE process = qm::kernel32::StartProcess(program, qm::kernel32::SplitCommandLine(tail),
                                                qm::IsProcessElevated(), lpCurrentDirectory, &pid);
    if (!process)
        return FALSE;
    auto object = qm::kernel32::FindObject(process);
    lpProcessInformation->hProcess = process;
    lpProcessInformation->hThread = qm::kernel32::AddObject(object); // the main thread ends with it
    lpProcessInformation->dwProcessId = pid;
    lpProcessInformation->dwThreadId = pid;
    return TRUE;
}

QMAPI BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    auto process = std::dynamic_pointer_cast<ProcessObject>(qm::kernel32::FindObject(hProcess));
    if (!process || !lpExitCode)
    {
        SetLastError(process ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = process->ExitCode();
    return TRUE;
}
