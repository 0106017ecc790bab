// LoadString: language choice, truncation, the read-only pointer form.
#include "loader_test_support.h"

using namespace loader_test;

TEST_F(FixtureLibraryTest, LoadStringFollowsTheThreadLanguageWithWindowsFallbacks)
{
    struct Case
    {
        LANGID threadLanguage; // 0: the machine's (English)
        UINT id;
        std::u16string text;
    } cases[] = {
        {0, 4099, u"Query type is not supported."},
        {1033, 4099, u"Query type is not supported."},
        {2052, 4099, u"查询类型不支持"},
        {2052, 4128, u"Only in English."}, // no Chinese block: English
        {1033, 4160, u"只有中文"},          // only a Chinese block: any language
        // The language is chosen per block of 16, as on Windows: block 257 exists in
        // Chinese, so a string missing there is missing, even though English has it.
        {2052, 4100, u""},
        {1033, 5000, u"Defined under RC_INVOKED."},
    };
    for (const auto& c : cases)
    {
        SetThreadUILanguage(c.threadLanguage);
        WCHAR buffer[64];
        int n = LoadStringW(m_module, c.id, buffer, 64);
        EXPECT_EQ(std::u16string(buffer), c.text) << c.id << " in " << c.threadLanguage;
        EXPECT_EQ(n, static_cast<int>(c.text.size()));
    }
}

TEST_F(FixtureLibraryTest, LoadStringDecodesEscapes)
{
    WCHAR buffer[64];
    LoadStringW(m_module, 4100, buffer, 64);
    EXPECT_EQ(std::u16string(buffer), u"Line one\nLine \"two\"\t\\end\r");
}

TEST_F(FixtureLibraryTest, LoadStringTruncatesAndTerminates)
{
    struct Case
    {
        int size;
        int result;
        std::u16string text;
    } cases[] = {
        {64, 28, u"Query type is not supported."},
        {29, 28, u"Query type is not supported."},
        {28, 27, u"Query type is not supported"},
        {6, 5, u"Query"},
        {1, 0, u""},
    };
    for (const auto& c : cases)
    {
        std::vector<WCHAR> buffer(c.size + 1, u'#');
        EXPECT_EQ(LoadStringW(m_module, 4099, buffer.data(), c.size), c.result) << c.size;
        EXPECT_EQ(std::u16string(buffer.data()), c.text) << c.size;
        EXPECT_EQ(buffer[c.size], u'#') << "wrote past the buffer";
    }
}

TEST_F(FixtureLibraryTest, LoadStringWithSizeZeroGivesTheResourceItself)
{
    LPCWSTR text = nullptr;
    int n = LoadStringW(m_module, 4099, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_EQ(n, 28);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, n), u"Query type is not supported.");
    // It points into the string-table block (counted, not terminated there).
    HRSRC block = FindResourceExW(m_module, RT_STRING, MAKEINTRESOURCEW(257), 1033);
    auto begin = static_cast<const BYTE*>(LockResource(LoadResource(m_module, block)));
    auto p = reinterpret_cast<const BYTE*>(text);
    EXPECT_TRUE(p > begin && p < begin + SizeofResource(m_module, block));
    EXPECT_EQ(static_cast<WORD>(text[n]), 25); // the next string's count
}

TEST_F(FixtureLibraryTest, LoadStringOfAMissingStringIsZeroAndEmpty)
{
    for (UINT id : {4101u, 4130u /* empty string */, 9999u, 0u})
    {
        WCHAR buffer[8] = {u'x', u'x'};
        EXPECT_EQ(LoadStringW(m_module, id, buffer, 8), 0) << id;
        EXPECT_EQ(buffer[0], u'\0') << id;
    }
    SetLastError(0);
    WCHAR buffer[8];
    EXPECT_EQ(LoadStringW(m_module, 9999, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(FixtureLibraryTest, LoadStringAConvertsAndTruncates)
{
    char buffer[64];
    EXPECT_EQ(LoadStringA(m_module, 4099, buffer, 64), 28);
    EXPECT_STREQ(buffer, "Query type is not supported.");
    EXPECT_EQ(LoadStringA(m_module, 4099, buffer, 6), 5);
    EXPECT_STREQ(buffer, "Query");
}
