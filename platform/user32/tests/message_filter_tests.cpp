// ChangeWindowMessageFilter, as Windows answers a process that may change its filter, and
// found by name the way programs that also run on older Windows bind it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "qm/machine.h"
#include "windows.h"

class MessageFilter : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_machine = std::filesystem::temp_directory_path() / ("qm-msgfilter-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_machine);
        qm::SetMachineDirectory(m_machine);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_machine, ec);
    }
    std::filesystem::path m_machine;
};

TEST_F(MessageFilter, AddAndRemoveSucceedOtherFlagsAreInvalid)
{
    UINT id = RegisterWindowMessageA("qm_filter_test_message");
    ASSERT_NE(0u, id);
    struct Case
    {
        UINT message;
        DWORD flag;
        BOOL ok;
    } cases[] = {
        {id, MSGFLT_ADD, TRUE},   {id, MSGFLT_REMOVE, TRUE},  {id, MSGFLT_ADD, TRUE}, // again: still TRUE
        {0x004A, MSGFLT_ADD, TRUE}, // WM_COPYDATA, below WM_USER: accepted, though such messages pass anyway
        {id, 0, FALSE},           {id, 3, FALSE},             {WM_USER + 1, 0xFFFFFFFF, FALSE},
    };
    for (const auto& tc : cases)
    {
        SCOPED_TRACE(testing::Message() << "message " << tc.message << " flag " << tc.flag);
        SetLastError(0);
        EXPECT_EQ(tc.ok, ChangeWindowMessageFilter(tc.message, tc.flag));
        EXPECT_EQ(tc.ok ? 0u : DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    }
}

// Windows library names ignore case: "USER32.Dll" is the machine's user32.dll.
TEST_F(MessageFilter, BoundByNameThroughTheSystemFolder)
{
    auto system32 = m_machine / "drive_c" / "Windows" / "System32";
    std::filesystem::create_directories(system32);
    std::filesystem::create_symlink(QM_PLATFORM_LIBRARY, system32 / "user32.dll");

    HMODULE user32 = LoadLibraryA("USER32.Dll");
    ASSERT_NE(nullptr, user32) << GetLastError();
    using Fn = BOOL(WINAPI*)(UINT, DWORD);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    ASSERT_NE(nullptr, fn);
    EXPECT_EQ(reinterpret_cast<void*>(&ChangeWindowMessageFilter), reinterpret_cast<void*>(fn));
    EXPECT_TRUE(fn(0xC123, MSGFLT_ADD));
    EXPECT_TRUE(FreeLibrary(user32));
}
