// GetVersionExW reports the machine's Windows version.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "qm/machine.h"
#include "sysinfoapi.h"
#include "windows.h"

namespace
{
class OsVersionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("qm-sysinfo-" + std::to_string(::getpid()) + "-" +
                                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::filesystem::path m_dir;
};
} // namespace

TEST_F(OsVersionTest, DefaultsToWindows7AndFollowsTheRegistry)
{
    OSVERSIONINFOW v{sizeof v};
    ASSERT_TRUE(GetVersionExW(&v));
    EXPECT_EQ(v.dwMajorVersion, 6u);
    EXPECT_EQ(v.dwMinorVersion, 1u);
    EXPECT_EQ(v.dwBuildNumber, 7601u);
    EXPECT_EQ(v.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(std::u16string(v.szCSDVersion), u"Service Pack 1");

    // A Windows XP machine: major version 5.
    qm::SetProcessElevated(true);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD major = 5, minor = 1;
    RegSetValueExW(key, u"CurrentMajorVersionNumber", 0, REG_DWORD, reinterpret_cast<BYTE*>(&major), sizeof major);
    RegSetValueExW(key, u"CurrentMinorVersionNumber", 0, REG_DWORD, reinterpret_cast<BYTE*>(&minor), sizeof minor);
    const std::u16string build = u"2600";
    RegSetValueExW(key, u"CurrentBuildNumber", 0, REG_SZ, reinterpret_cast<const BYTE*>(build.c_str()),
                   static_cast<DWORD>((build.size() + 1) * 2));
    RegCloseKey(key);
    qm::SetProcessElevated(false);
    OSVERSIONINFOEXW ex{sizeof ex};
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 5u);
    EXPECT_EQ(ex.dwMinorVersion, 1u);
    EXPECT_EQ(ex.dwBuildNumber, 2600u);
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);

    OSVERSIONINFOW bad{12};
    EXPECT_FALSE(GetVersionExW(&bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}
