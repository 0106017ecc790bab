// Shell execution with and without elevation, special folders and key-tree deletion.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "qm/machine.h"
#include "shellapi.h"
#include "shlobj.h"
#include "shlwapi.h"
#include "windows.h"

class Shell32 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-shell32-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
        qm::SetProcessElevated(false);
        std::filesystem::create_directories(m_dir / "drive_c" / "Tools");
        // Ends with 0 when it runs elevated with the single argument /S, else 1.
        std::ofstream(m_dir / "drive_c/Tools/setup.exe")
            << "#!/bin/sh\n[ \"$QM_ELEVATED\" = 1 ] && [ \"$#\" = 1 ] && [ \"$1\" = /S ] && exit 0\nexit 1\n";
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // The exit code of setup.exe started with the verb, or -1 when it did not start.
    long Run(LPCWSTR verb, LPCWSTR file = u"C:\\Tools\\setup.exe")
    {
        SHELLEXECUTEINFOW sei = {};
        sei.cbSize = sizeof sei;
        sei.fMask = SEE_MASK_NOCLOSEPROCESS;
        sei.lpVerb = verb;
        sei.lpFile = file;
        sei.lpParameters = u"/S";
        sei.nShow = SW_SHOW;
        if (!ShellExecuteExW(&sei))
            return -1;
        EXPECT_TRUE(sei.hProcess);
        WaitForSingleObject(sei.hProcess, INFINITE);
        DWORD code = 99;
        GetExitCodeProcess(sei.hProcess, &code);
        CloseHandle(sei.hProcess);
        return long(code);
    }
    std::filesystem::path m_dir;
};

TEST_F(Shell32, RunasStartsTheChildElevated)
{
    EXPECT_EQ(0, Run(u"runas"));
    EXPECT_EQ(0, Run(u"RunAs"));
    EXPECT_EQ(1, Run(u"")) << "the empty verb starts it as this process is";
    EXPECT_EQ(1, Run(nullptr));
    EXPECT_EQ(1, Run(u"open"));
    qm::SetProcessElevated(true);
    EXPECT_EQ(0, Run(u"")) << "an elevated parent's children are elevated";

    EXPECT_EQ(-1, Run(u"print"));
    EXPECT_EQ(DWORD(ERROR_NO_ASSOCIATION), GetLastError());
    EXPECT_EQ(-1, Run(u"runas", u"C:\\Tools\\missing.exe"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(Shell32, SpecialFolders)
{
    WCHAR path[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path));
    EXPECT_EQ(std::u16string(u"C:\\Program Files"), path);
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, SHGFP_TYPE_CURRENT, path));
    EXPECT_EQ(std::u16string(u"C:\\Program Files (x86)"), path);
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path));
    std::u16string appData(path);
    EXPECT_EQ(u"C:\\Users\\", appData.substr(0, 9));
    EXPECT_EQ(u"\\AppData\\Roaming", appData.substr(appData.size() - 16));
    EXPECT_TRUE(PathFileExistsW(path)) << "CSIDL_FLAG_CREATE creates it";
    EXPECT_EQ(E_INVALIDARG, SHGetFolderPathW(nullptr, 0x7F, nullptr, SHGFP_TYPE_CURRENT, path));
}

TEST_F(Shell32, DeleteKeyTakesTheWholeTree)
{
    qm::SetProcessElevated(true);
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QmTest\\A\\B", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &h, nullptr));
    RegCloseKey(h);
    EXPECT_EQ(ERROR_SUCCESS, SHDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QmTest\\A"));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QmTest\\A", 0, KEY_READ, &h));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QmTest", 0, KEY_READ, &h));
    RegCloseKey(h);
    EXPECT_NE(ERROR_SUCCESS, SHDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QmTest\\A"));
}
