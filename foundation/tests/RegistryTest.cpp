// Root-certificate Blob writes and key deletion under HKEY_LOCAL_MACHINE.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <qm/machine.h>

#include "ResourceRegistry.h"

extern char** environ;

namespace
{
const char16_t* const kRoot = ROOT_CERTIFICATES_KEY;

std::u16string U16(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

std::vector<BYTE> ReadBlob(const std::u16string& wstrSubKey, LSTATUS* plStatus = nullptr)
{
    std::u16string wstrPath = std::u16string(kRoot) + u"\\" + wstrSubKey;
    HKEY hKey = nullptr;
    LSTATUS lStatus = RegOpenKeyExW(HKEY_LOCAL_MACHINE, wstrPath.c_str(), 0, KEY_READ, &hKey);
    std::vector<BYTE> blob;
    if (lStatus == ERROR_SUCCESS)
    {
        DWORD dwType = 0;
        DWORD cb = 0;
        lStatus = RegQueryValueExW(hKey, u"Blob", nullptr, &dwType, nullptr, &cb);
        if (lStatus == ERROR_SUCCESS)
        {
            blob.resize(cb);
            lStatus = RegQueryValueExW(hKey, u"Blob", nullptr, &dwType, blob.data(), &cb);
            blob.resize(cb);
            EXPECT_EQ(dwType, (DWORD)REG_BINARY);
        }
        RegCloseKey(hKey);
    }
    if (plStatus)
    {
        *plStatus = lStatus;
    }
    return blob;
}

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/qm-found-reg-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_dir = szTemplate;
        qm::SetMachineDirectory(m_dir);
        qm::SetProcessElevated(true);
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::filesystem::path m_dir;
};
} // namespace

TEST_F(RegistryTest, ElevatedWriteCreatesAndRewriteReplacesTheBlob)
{
    const BYTE rgbFirst[] = {0x20, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0x30, 0x01, 0x00};
    const BYTE rgbSecond[] = {0x42};
    const char16_t* pwszThumb = u"0123456789ABCDEF0123456789ABCDEF01234567";
    ASSERT_EQ(RegWriteBinaryValue(kRoot, pwszThumb, rgbFirst, sizeof(rgbFirst)), S_OK);
    EXPECT_EQ(ReadBlob(pwszThumb), std::vector<BYTE>(rgbFirst, rgbFirst + sizeof(rgbFirst)));
    ASSERT_EQ(RegWriteBinaryValue(kRoot, pwszThumb, rgbSecond, sizeof(rgbSecond)), S_OK);
    EXPECT_EQ(ReadBlob(pwszThumb), std::vector<BYTE>(rgbSecond, rgbSecond + 1));

    ASSERT_EQ(DeleteRegistryKey(pwszThumb), S_OK);
    LSTATUS lStatus = 0;
    ReadBlob(pwszThumb, &lStatus);
    EXPECT_EQ(lStatus, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ResultsOfFailedSteps)
{
    const BYTE b = 1;
    // A missing key to delete, a missing parent path to write under.
    EXPECT_EQ(DeleteRegistryKey(u"NOSUCHKEY"), (HRESULT)0x80070002);
    EXPECT_EQ(RegWriteBinaryValue(u"SOFTWARE\\NoSuchVendor\\Path", u"K", &b, 1), (HRESULT)0x80070002);

    // A key with subkeys is not deleted.
    ASSERT_EQ(RegWriteBinaryValue(kRoot, u"PARENT\\CHILD", &b, 1), S_OK);
    EXPECT_TRUE(FAILED(DeleteRegistryKey(u"PARENT")));
    EXPECT_EQ(ReadBlob(u"PARENT\\CHILD"), std::vector<BYTE>{1});

    // Without elevation both are refused at the open step, and nothing changes.
    ASSERT_EQ(RegWriteBinaryValue(kRoot, u"KEEP", &b, 1), S_OK);
    qm::SetProcessElevated(false);
    const BYTE b2 = 2;
    EXPECT_EQ(RegWriteBinaryValue(kRoot, u"KEEP", &b2, 1), (HRESULT)0x80070005);
    EXPECT_EQ(DeleteRegistryKey(u"KEEP"), (HRESULT)0x80070005);
    EXPECT_EQ(ReadBlob(u"KEEP"), std::vector<BYTE>{1});
}

// Run as a child process by the test below: writes its own keys into the shared machine.
TEST(RegistryWriterChild, WritesItsKeys)
{
    const char* pszId = getenv("QM_FOUND_WRITER_ID");
    if (!pszId)
    {
        GTEST_SKIP() << "only run as a child process";
    }
    qm::SetProcessElevated(true);
    for (int i = 0; i < 40; ++i)
    {
        std::string name = std::string("W") + pszId + "_" + std::to_string(i);
        std::vector<BYTE> blob(100 + i, (BYTE)(pszId[0] + i));
        ASSERT_EQ(RegWriteBinaryValue(kRoot, U16(name).c_str(), blob.data(), (DWORD)blob.size()), S_OK);
    }
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing)
{
    std::vector<pid_t> pids;
    for (const char* pszId : {"1", "2"})
    {
        std::string strId = std::string("QM_FOUND_WRITER_ID=") + pszId;
        std::string strMachine = std::string("QM_MACHINE=") + m_dir.string();
        std::vector<std::string> env = {strId, strMachine};
        for (char** pp = environ; *pp; ++pp)
        {
            if (strncmp(*pp, "QM_MACHINE=", 11) != 0)
            {
                env.push_back(*pp);
            }
        }
        std::vector<char*> envp;
        for (auto& s : env)
        {
            envp.push_back(s.data());
        }
        envp.push_back(nullptr);
        std::string strExe = std::filesystem::read_symlink("/proc/self/exe").string();
        std::string strFilter = "--gtest_filter=RegistryWriterChild.WritesItsKeys";
        char* argv[] = {strExe.data(), strFilter.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, strExe.c_str(), nullptr, nullptr, argv, envp.data()), 0);
        pids.push_back(pid);
    }
    for (pid_t pid : pids)
    {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (const char* pszId : {"1", "2"})
    {
        for (int i = 0; i < 40; ++i)
        {
            std::string name = std::string("W") + pszId + "_" + std::to_string(i);
            EXPECT_EQ(ReadBlob(U16(name)), std::vector<BYTE>(100 + i, (BYTE)(pszId[0] + i))) << name;
        }
    }
}
