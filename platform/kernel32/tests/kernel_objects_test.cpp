// Threads, processes, named mutexes and the file operations around them, as Windows
// behaves.
#include <atomic>
#include <fstream>

#include "processthreadsapi.h"
#include "synchapi.h"
#include "test_machine.h"

namespace
{
std::atomic<bool> g_release{false};

DWORD WINAPI WaitThenReturn(LPVOID param)
{
    while (!g_release)
        Sleep(1);
    return DWORD(reinterpret_cast<uintptr_t>(param));
}

// Runs a shell script (and its arguments) as a child and returns its exit code.
DWORD RunShell(const std::u16string& script, const std::u16string& arguments = u"")
{
    std::u16string command = u"/bin/sh -c \"" + script + u"\"" + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, INFINITE));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_TRUE(CloseHandle(pi.hProcess));
    EXPECT_TRUE(CloseHandle(pi.hThread));
    return code;
}
} // namespace

class KernelObjects : public FreshMachine
{
};

TEST_F(KernelObjects, ThreadExitCodeAndWaits)
{
    g_release = false;
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, WaitThenReturn, reinterpret_cast<LPVOID>(uintptr_t(7)), 0, &id);
    ASSERT_TRUE(h);
    EXPECT_NE(0u, id);
    EXPECT_NE(GetCurrentThreadId(), id);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(DWORD(STILL_ACTIVE), code);
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(h, 0));
    g_release = true;
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(h, INFINITE));
    EXPECT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(7u, code);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(h, 0));

    EXPECT_EQ(nullptr, CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(KernelObjects, ProcessExitCodesArgumentsAndMachine)
{
    EXPECT_EQ(7u, RunShell(u"exit 7"));
    // Arguments split as the C runtime splits them: quotes group, \\" is a quote.
    EXPECT_EQ(0u, RunShell(u"test \\\"$0|$1\\\" = 'a b|c\\\"d'", u" \"a b\" c\\\"d"));
    // The child runs on the same machine, not elevated unless this process is.
    std::u16string machine;
    for (char c : m_dir.string())
        machine += char16_t(c);
    EXPECT_EQ(0u, RunShell(u"test \\\"$QM_MACHINE\\\" = '" + machine + u"' && test \\\"$QM_ELEVATED\\\" = 0"));
    qm::SetProcessElevated(true);
    EXPECT_EQ(0u, RunShell(u"test \\\"$QM_ELEVATED\\\" = 1"));
    qm::SetProcessElevated(false);

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::u16string missing = u"C:\\no\\such.exe";
    EXPECT_FALSE(CreateProcessW(nullptr, missing.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(KernelObjects, ProgramOnTheMachineNeedsNoExecutePermission)
{
    std::filesystem::create_directories(m_dir / "drive_c" / "Tools");
    std::ofstream(m_dir / "drive_c/Tools/setup.exe") << "#!/bin/sh\nexit 3\n";
    std::filesystem::permissions(m_dir / "drive_c/Tools/setup.exe", std::filesystem::perms::owner_read |
                                                                        std::filesystem::perms::owner_write);
    std::u16string command = u"\"C:\\Tools\\setup.exe\" /S";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hThread, INFINITE);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(3u, code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST_F(KernelObjects, NamedMutexExistsWhileAHandleIsOpen)
{
    HANDLE first = CreateMutexW(nullptr, FALSE, u"qm_test_instance");
    ASSERT_TRUE(first);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    HANDLE second = CreateMutexW(nullptr, FALSE, u"QM_TEST_INSTANCE");
    ASSERT_TRUE(second);
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError()) << "names compare without case";
    EXPECT_TRUE(CloseHandle(second));
    HANDLE other = CreateMutexA(nullptr, FALSE, "qm_test_other");
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    EXPECT_TRUE(CloseHandle(other));
    EXPECT_TRUE(CloseHandle(first));
    HANDLE again = CreateMutexW(nullptr, FALSE, u"qm_test_instance");
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError()) << "gone with its last handle";
    CloseHandle(again);

    EXPECT_EQ(nullptr, CreateMutexW(nullptr, TRUE, u"qm_owned"));
    EXPECT_EQ(DWORD(ERROR_NOT_SUPPORTED), GetLastError());
}

TEST_F(KernelObjects, CopyMovePointerAndEnd)
{
    std::filesystem::create_directories(m_dir / "drive_c" / "d");
    std::ofstream(m_dir / "drive_c/d/a.txt") << "hello";
    EXPECT_TRUE(CopyFileW(u"C:\\d\\a.txt", u"C:\\d\\b.txt", TRUE));
    EXPECT_FALSE(CopyFileW(u"C:\\d\\a.txt", u"C:\\d\\b.txt", TRUE));
    EXPECT_EQ(DWORD(ERROR_FILE_EXISTS), GetLastError());
    std::ofstream(m_dir / "drive_c/d/a.txt") << "hi";
    EXPECT_TRUE(CopyFileW(u"C:\\d\\a.txt", u"C:\\d\\b.txt", FALSE));
    EXPECT_FALSE(CopyFileW(u"C:\\d\\missing.txt", u"C:\\d\\c.txt", FALSE));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());

    EXPECT_FALSE(MoveFileW(u"C:\\d\\a.txt", u"C:\\d\\b.txt"));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError()) << "never replaces the target";
    EXPECT_TRUE(MoveFileW(u"C:\\d\\a.txt", u"C:\\d\\a.txt123456"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "drive_c/d/a.txt"));

    HANDLE h = CreateFileW(u"C:\\d\\b.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(2u, SetFilePointer(h, 0, nullptr, FILE_END));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "!", 1, &written, nullptr));
    EXPECT_EQ(1u, SetFilePointer(h, 1, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -5, nullptr, FILE_BEGIN));
    EXPECT_EQ(DWORD(ERROR_NEGATIVE_SEEK), GetLastError());
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ(1u, std::filesystem::file_size(m_dir / "drive_c/d/b.txt"));
}

TEST_F(KernelObjects, AbsoluteLinuxPathsNameThemselves)
{
    // As GetModuleFileNameW reports a program's file; the log beside it opens.
    std::filesystem::create_directories(m_dir / "bin");
    std::string path = (m_dir / "bin" / "prog.log").string();
    std::u16string wide(path.begin(), path.end());
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    EXPECT_TRUE(std::filesystem::exists(path));
}
