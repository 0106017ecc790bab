// Opening a named mutex: found while a handle is open, in this or another process.
#include <sys/wait.h>
#include <unistd.h>

#include "synchapi.h"
#include "test_machine.h"

class NamedMutex : public FreshMachine
{
};

TEST_F(NamedMutex, OpenFindsTheMutexOnlyWhileAHandleIsOpen)
{
    EXPECT_EQ(nullptr, OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Guid_single_instance"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());

    HANDLE created = CreateMutexA(nullptr, FALSE, "Guid_single_instance");
    ASSERT_NE(nullptr, created);
    HANDLE opened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "GUID_Single_Instance");
    ASSERT_NE(nullptr, opened) << "names compare without case";
    EXPECT_TRUE(CloseHandle(opened));
    EXPECT_TRUE(CloseHandle(created));

    // The object's file remains, yet no handle holds the mutex any more.
    EXPECT_EQ(nullptr, OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"Guid_single_instance"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u""));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(NamedMutex, AnotherProcessSeesTheMutex)
{
    HANDLE created = CreateMutexW(nullptr, FALSE, u"Shared_single_instance");
    ASSERT_NE(nullptr, created);
    pid_t child = ::fork();
    if (child == 0)
    {
        HANDLE h = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"Shared_single_instance");
        ::_exit(h ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    CloseHandle(created);
}
