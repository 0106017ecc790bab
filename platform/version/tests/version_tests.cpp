// Version information read from a library's file, as browsers read a plug-in's MIME type.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <winver.h>

#include "qm/machine.h"

namespace
{
std::u16string Wide(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

const std::u16string kFixture = Wide(QM_FIXTURE_PATH);

class VersionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_machine = std::filesystem::temp_directory_path() /
                    ("qm-version-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_machine);
        qm::SetMachineDirectory(m_machine);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_machine, ec);
    }

    std::vector<BYTE> ReadInfo(const std::u16string& file)
    {
        DWORD handle = 7;
        DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
        EXPECT_EQ(handle, 0u);
        std::vector<BYTE> data(size);
        if (size)
            EXPECT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, data.data()));
        return data;
    }

    std::filesystem::path m_machine;
};

std::u16string QueryText(const std::vector<BYTE>& info, const std::u16string& path)
{
    LPVOID value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &len))
        return u"<missing>";
    // For text the length counts characters, the terminator included.
    EXPECT_GT(len, 0u);
    auto text = static_cast<const WCHAR*>(value);
    EXPECT_EQ(text[len - 1], u'\0');
    return std::u16string(text, len - 1);
}
} // namespace

TEST_F(VersionTest, ReadsTheVersionResourceWithoutLoadingTheLibrary)
{
    auto info = ReadInfo(kFixture);
    ASSERT_GT(info.size(), 92u);
    EXPECT_EQ(GetModuleHandleW(kFixture.c_str()), nullptr) << "the library must not be loaded";

    // VS_VERSIONINFO: wLength, wValueLength 52, wType 0, "VS_VERSION_INFO", padding, VS_FIXEDFILEINFO.
    auto word = [&](size_t at) { return static_cast<WORD>(info[at] | (info[at + 1] << 8)); };
    EXPECT_EQ(word(0), info.size());
    EXPECT_EQ(word(2), 52);
    EXPECT_EQ(word(4), 0);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(info.data() + 6)), u"VS_VERSION_INFO");

    LPVOID value = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), u"\\", &value, &len));
    EXPECT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(static_cast<BYTE*>(value) - info.data(), 40);
    auto fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwStrucVersion, static_cast<DWORD>(VS_FFI_STRUCVERSION));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00030004u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000002u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00030004u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000002u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3fu);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    ASSERT_TRUE(VerQueryValueW(info.data(), u"\\VarFileInfo\\Translation", &value, &len));
    ASSERT_EQ(len, 4u);
    auto translation = static_cast<const WORD*>(value);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

TEST_F(VersionTest, StringFileInfoValues)
{
    auto info = ReadInfo(kFixture);
    struct Case
    {
        std::u16string path;
        std::u16string text;
    } cases[] = {
        {u"\\StringFileInfo\\040904b0\\MIMEType", u"application/x-quillmark-test"},
        {u"\\StringFileInfo\\040904B0\\mimetype", u"application/x-quillmark-test"},
        {u"\\StringFileInfo\\040904b0\\FileExtents", u"*"},
        {u"\\StringFileInfo\\040904b0\\FileOpenName", u"Test files (*.*)"},
        {u"\\StringFileInfo\\040904b0\\FileVersion", u"3, 4, 0, 2"},
        {u"\\StringFileInfo\\040904b0\\ProductVersion", u"3, 4, 0, 2"},
        {u"\\StringFileInfo\\040904b0\\ProductName", u"Quillmark 测试"},
        {u"\\StringFileInfo\\040904b0\\FileDescription", u"Resource test library"},
        {u"\\StringFileInfo\\040904b0\\CompanyName", u"Quillmark"},
        {u"\\StringFileInfo\\040904b0\\InternalName", u"qmres_fixture"},
        {u"\\StringFileInfo\\040904b0\\OriginalFilename", u"qmres_fixture.dll"},
        {u"\\StringFileInfo\\040904b0\\Comments", u"<missing>"},
        {u"\\StringFileInfo\\080404b0\\MIMEType", u"<missing>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QueryText(info, c.path), c.text) << std::string(c.path.begin(), c.path.end());

    // A block exists without a value.
    LPVOID value = nullptr;
    UINT len = 7;
    EXPECT_TRUE(VerQueryValueW(info.data(), u"\\StringFileInfo", &value, &len));
    EXPECT_EQ(len, 0u);
}

TEST_F(VersionTest, AShortBufferGetsTheBeginningAndQueriesStayInside)
{
    auto full = ReadInfo(kFixture);
    std::vector<BYTE> part(100, 0xEE);
    ASSERT_TRUE(GetFileVersionInfoW(kFixture.c_str(), 0, 100, part.data()));
    EXPECT_EQ(std::memcmp(part.data() + 2, full.data() + 2, 98), 0);
    LPVOID value = nullptr;
    UINT len = 0;
    EXPECT_TRUE(VerQueryValueW(part.data(), u"\\", &value, &len));
    EXPECT_FALSE(VerQueryValueW(part.data(), u"\\StringFileInfo\\040904b0\\MIMEType", &value, &len));
}

TEST_F(VersionTest, FilesWithoutVersionInformation)
{
    auto text = m_machine / "readme.txt";
    std::ofstream(text) << "not a library\n";
    struct Case
    {
        std::u16string file;
        DWORD error;
    } cases[] = {
        {Wide((m_machine / "missing.so").string()), ERROR_FILE_NOT_FOUND},
        {Wide(text.string()), ERROR_BAD_FORMAT},
        {Wide(QM_NO_RESOURCES_PATH), ERROR_RESOURCE_DATA_NOT_FOUND},
        {Wide(QM_NO_VERSION_PATH), ERROR_RESOURCE_TYPE_NOT_FOUND},
        // Shorter than a version block's header: no size that GetFileVersionInfoW could fill.
        {Wide(QM_SHORT_VERSION_PATH), ERROR_BAD_FORMAT},
    };
    for (const auto& c : cases)
    {
        SetLastError(0);
        DWORD handle = 7;
        EXPECT_EQ(GetFileVersionInfoSizeW(c.file.c_str(), &handle), 0u);
        EXPECT_EQ(GetLastError(), c.error) << std::string(c.file.begin(), c.file.end());
        BYTE buffer[64];
        SetLastError(0);
        EXPECT_FALSE(GetFileVersionInfoW(c.file.c_str(), 0, sizeof buffer, buffer));
        EXPECT_EQ(GetLastError(), c.error);
    }
}
