// FindResource, SizeofResource, LoadResource over a library's compiled resources.
#include <fstream>
#include <iterator>

#include "loader_test_support.h"

using namespace loader_test;

namespace
{
std::vector<BYTE> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<BYTE> ResourceBytes(HMODULE module, HRSRC res)
{
    auto data = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    return data ? std::vector<BYTE>(data, data + SizeofResource(module, res)) : std::vector<BYTE>{};
}
} // namespace

TEST_F(FixtureLibraryTest, ResourcesFromFilesHoldTheFilesBytes)
{
    // Tests run in this folder, as the script's file names are relative to it.
    struct Case
    {
        LPCWSTR name;
        LPCWSTR type;
        const char* file;
    } cases[] = {
        {MAKEINTRESOURCEW(208), u"CERTIFICATE", "fixture/chains/x.xml"},
        {MAKEINTRESOURCEW(208), u"certificate", "fixture/chains/x.xml"},
        {u"#208", u"Certificate", "fixture/chains/x.xml"},
        {u"TRUSTED", u"CERTIFICATE", "fixture/chains/x.xml"},
        {u"trusted", u"CERTIFICATE", "fixture/chains/x.xml"},
        {MAKEINTRESOURCEW(105), u"PNG", "fixture/img/a.png"},
    };
    for (const auto& c : cases)
    {
        HRSRC res = FindResourceW(m_module, c.name, c.type);
        ASSERT_NE(res, nullptr) << c.file << " error " << GetLastError();
        auto expected = FileBytes(c.file);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(SizeofResource(m_module, res), expected.size());
        EXPECT_EQ(ResourceBytes(m_module, res), expected);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(LockResource(LoadResource(m_module, res))) % 4, 0u);
    }
    // The PNG really is one.
    auto png = ResourceBytes(m_module, FindResourceW(m_module, MAKEINTRESOURCEW(105), u"PNG"));
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(std::vector<BYTE>(png.begin(), png.begin() + 8),
              (std::vector<BYTE>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}));
    EXPECT_NE(FindResourceA(m_module, MAKEINTRESOURCEA(105), "png"), nullptr);
    EXPECT_FALSE(FreeResource(LoadResource(m_module, FindResourceW(m_module, u"TRUSTED", u"CERTIFICATE"))));
}

TEST_F(FixtureLibraryTest, InlineDataIsLittleEndianWordsDwordsAndText)
{
    HRSRC res = FindResourceW(m_module, MAKEINTRESOURCEW(300), RT_RCDATA);
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(ResourceBytes(m_module, res),
              (std::vector<BYTE>{'a', 'b', 0x02, 0x01, 0x06, 0x05, 0x04, 0x03, 'c', 0}));
}

TEST_F(FixtureLibraryTest, FindResourceErrorsAsWindows)
{
    struct Case
    {
        HMODULE module;
        LPCWSTR name;
        LPCWSTR type;
        DWORD error;
    } cases[] = {
        {m_module, MAKEINTRESOURCEW(208), u"NOSUCHTYPE", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {m_module, MAKEINTRESOURCEW(208), RT_BITMAP, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {m_module, MAKEINTRESOURCEW(209), u"CERTIFICATE", ERROR_RESOURCE_NAME_NOT_FOUND},
        {m_module, u"UNTRUSTED", u"CERTIFICATE", ERROR_RESOURCE_NAME_NOT_FOUND},
        {m_module, MAKEINTRESOURCEW(105), u"CERTIFICATE", ERROR_RESOURCE_NAME_NOT_FOUND},
        // The test program has no resources at all.
        {nullptr, MAKEINTRESOURCEW(208), u"CERTIFICATE", ERROR_RESOURCE_DATA_NOT_FOUND},
        {reinterpret_cast<HMODULE>(0x1000), MAKEINTRESOURCEW(208), u"CERTIFICATE", ERROR_MOD_NOT_FOUND},
    };
    for (const auto& c : cases)
    {
        SetLastError(0);
        EXPECT_EQ(FindResourceW(c.module, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    SetLastError(0);
    EXPECT_EQ(SizeofResource(m_module, nullptr), 0u);
    EXPECT_EQ(LoadResource(m_module, reinterpret_cast<HRSRC>(&cases)), nullptr);
}

TEST_F(FixtureLibraryTest, FindResourceExTakesOneLanguage)
{
    EXPECT_NE(FindResourceExW(m_module, u"CERTIFICATE", MAKEINTRESOURCEW(208), 1033), nullptr);
    EXPECT_NE(FindResourceExW(m_module, u"CERTIFICATE", MAKEINTRESOURCEW(208), 0), nullptr);
    EXPECT_NE(FindResourceExW(m_module, RT_STRING, MAKEINTRESOURCEW(4099 / 16 + 1), 2052), nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceExW(m_module, u"CERTIFICATE", MAKEINTRESOURCEW(208), 2052), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(FindResourceExW(m_module, u"CERTIFICATE", MAKEINTRESOURCEW(1), 1033), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(FixtureLibraryTest, StringTablesAreBlocksOfSixteenCountedStrings)
{
    // id 4099 lives in block 4099/16+1 = 257 at index 3.
    HRSRC res = FindResourceExW(m_module, RT_STRING, MAKEINTRESOURCEW(257), 1033);
    ASSERT_NE(res, nullptr);
    auto bytes = ResourceBytes(m_module, res);
    auto word = [&](size_t at) { return static_cast<WORD>(bytes[at] | (bytes[at + 1] << 8)); };
    size_t pos = 0;
    std::vector<WORD> lengths;
    for (int i = 0; i < 16; ++i)
    {
        lengths.push_back(word(pos));
        pos += 2 + 2 * size_t{word(pos)};
    }
    EXPECT_EQ(pos, bytes.size());
    EXPECT_EQ(lengths, (std::vector<WORD>{0, 0, 0, 28, 25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}
