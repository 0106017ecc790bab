// Opening a named mutex: found while a handle is open, in this or another process.
#include <sys/wait.h>
#include <unistd.h>

#include "sddl.h"
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

// An instance mutex open to every process: a NULL DACL and a low mandatory label.
TEST_F(NamedMutex, TakesSecurityAttributesWithAValidDescriptor)
{
    SECURITY_DESCRIPTOR sd;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE));
    PSECURITY_DESCRIPTOR label = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", 1, &label, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL sacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorSacl(label, &present, &sacl, &defaulted));
    ASSERT_TRUE(SetSecurityDescriptorSacl(&sd, TRUE, sacl, FALSE));
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};

    HANDLE created = CreateMutexA(&sa, FALSE, "Labelled_single_instance");
    ASSERT_NE(nullptr, created);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    HANDLE second = CreateMutexW(nullptr, FALSE, u"Labelled_single_instance");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    CloseHandle(second);
    CloseHandle(created);
    LocalFree(label);

    // Attributes without a descriptor give the default security.
    SECURITY_ATTRIBUTES plain = {sizeof plain, nullptr, FALSE};
    HANDLE unnamed = CreateMutexW(&plain, FALSE, nullptr);
    EXPECT_NE(nullptr, unnamed);
    CloseHandle(unnamed);

    SECURITY_DESCRIPTOR bad = sd;
    bad.Revision = 2;
    sa.lpSecurityDescriptor = &bad;
    EXPECT_EQ(nullptr, CreateMutexA(&sa, FALSE, "Bad_descriptor"));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_REVISION), GetLastError());
}
