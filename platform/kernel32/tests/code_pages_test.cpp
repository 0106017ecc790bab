// MultiByteToWideChar / WideCharToMultiByte as Windows answers them.
#include <functional>
#include <string>

#include "test_machine.h"

namespace
{
std::u16string FromUtf8(const std::string& in, DWORD flags, int* result, DWORD* error)
{
    SetLastError(0);
    int n = MultiByteToWideChar(CP_UTF8, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::u16string out(n > 0 ? n : 0, u'\0');
    if (n > 0)
        n = MultiByteToWideChar(CP_UTF8, flags, in.data(), static_cast<int>(in.size()), out.data(), n);
    *result = n;
    *error = GetLastError();
    return out;
}

struct Utf8Case
{
    const char* name;
    std::string bytes;
    std::u16string lenient;   // without MB_ERR_INVALID_CHARS
    bool valid;               // MB_ERR_INVALID_CHARS accepts it
};

class Utf8Decoding : public FreshMachine, public ::testing::WithParamInterface<Utf8Case>
{
};

TEST_P(Utf8Decoding, ReplacesOrRefusesAsWindows)
{
    const Utf8Case& c = GetParam();
    int n;
    DWORD error;
    EXPECT_EQ(FromUtf8(c.bytes, 0, &n, &error), c.lenient);
    EXPECT_EQ(n, static_cast<int>(c.lenient.size()));

    std::u16string strict = FromUtf8(c.bytes, MB_ERR_INVALID_CHARS, &n, &error);
    if (c.valid)
        EXPECT_EQ(strict, c.lenient);
    else
    {
        EXPECT_EQ(n, 0);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Decoding,
    ::testing::Values(
        Utf8Case{"Ascii", "abc", u"abc", true},
        Utf8Case{"Chinese", "\xE4\xB8\xAD\xE6\x96\x87", u"中文", true},
        Utf8Case{"MaxCodePoint", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
        Utf8Case{"EmbeddedNull", std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},
        Utf8Case{"OverlongSlash", "\xC0\xAF", u"\uFFFD\uFFFD", false},
        Utf8Case{"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", false},
        Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
        Utf8Case{"AboveMax", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
        Utf8Case{"TruncatedAtEnd", "a\xE4\xB8", u"a\uFFFD", false},
        Utf8Case{"TruncatedBeforeAscii", "\xE4\xB8z", u"\uFFFDz", false},
        Utf8Case{"ByteFF", "\xFF", u"\uFFFD", false},
        Utf8Case{"StrayContinuation", "\x80x", u"\uFFFDx", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FreshMachine, MinusOneLengthIncludesTheTerminator)
{
    char16_t out[8] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, out, 8), 3);
    EXPECT_EQ(std::u16string(out, 3), std::u16string(u"ab\0", 3));
    char bytes[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4E2D", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4E2D", -1, bytes, 8, nullptr, nullptr), 4);
    EXPECT_STREQ(bytes, "\xE4\xB8\xAD");
}

TEST_F(FreshMachine, ShortBufferFailsWithInsufficientBuffer)
{
    char16_t out[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, out, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    char bytes[2];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4E2D", 1, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(FreshMachine, BadArgumentsAndFlags)
{
    char16_t out[4];
    char bytes[4];
    BOOL used = FALSE;
    struct
    {
        int line;
        std::function<int()> call;
        DWORD error;
    } cases[] = {
        {__LINE__, [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, out, 4); }, ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, out, 4); }, ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", -2, out, 4); }, ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4); }, ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, out, 4); }, ERROR_INVALID_FLAGS},
        {__LINE__, [&] { return MultiByteToWideChar(1200, 0, "a", 1, out, 4); }, ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return MultiByteToWideChar(12345, 0, "a", 1, out, 4); }, ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 4, "?", nullptr); },
         ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 4, nullptr, &used); },
         ERROR_INVALID_PARAMETER},
        {__LINE__, [&] { return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", 1, bytes, 4, nullptr, nullptr); },
         ERROR_INVALID_FLAGS},
        {__LINE__, [&] { return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"a", 1, bytes, 4, nullptr, nullptr); },
         ERROR_INVALID_FLAGS},
        {__LINE__, [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 0, bytes, 4, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases)
    {
        SetLastError(0);
        EXPECT_EQ(c.call(), 0) << "line " << c.line;
        EXPECT_EQ(GetLastError(), c.error) << "line " << c.line;
    }
}

TEST_F(FreshMachine, LoneSurrogatesBecomeReplacementUnlessRefused)
{
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00};
    char bytes[16] = {};
    int n = WideCharToMultiByte(CP_UTF8, 0, lone, 4, bytes, sizeof(bytes), nullptr, nullptr);
    EXPECT_EQ(std::string(bytes, n), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 4, bytes, sizeof(bytes), nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    const char16_t pair[] = {0xD83D, 0xDE00};
    n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, pair, 2, bytes, sizeof(bytes), nullptr, nullptr);
    EXPECT_EQ(std::string(bytes, n), "\xF0\x9F\x98\x80");
}

TEST_F(FreshMachine, AnsiCodePageDefaultsToGbk)
{
    EXPECT_EQ(GetACP(), 936u);
    const std::string gbk = "\xD6\xD0\xCE\xC4"; // 中文
    char16_t wide[8] = {};
    int n = MultiByteToWideChar(CP_ACP, 0, gbk.data(), static_cast<int>(gbk.size()), wide, 8);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(std::u16string(wide, 2), u"中文");
    char back[8] = {};
    BOOL used = TRUE;
    n = WideCharToMultiByte(CP_ACP, 0, wide, 2, back, sizeof(back), nullptr, &used);
    EXPECT_EQ(std::string(back, n), gbk);
    EXPECT_FALSE(used);

    // Windows converts UTF-16 units: a surrogate pair the code page lacks is two defaults.
    n = WideCharToMultiByte(CP_THREAD_ACP, 0, u"a\U0001F600", 3, back, sizeof(back), nullptr, &used);
    EXPECT_EQ(std::string(back, n), "a??");
    EXPECT_TRUE(used);
}

// Code page 936 is Windows' table, not plain GBK: a lone 0xFF is U+F8F5, and characters GBK
// lacks are written as their best fit unless WC_NO_BEST_FIT_CHARS is given.
TEST_F(FreshMachine, AnsiCodePageIsWindowsTableOf936)
{
    const struct
    {
        const char* what;
        std::string bytes;
        std::u16string wide;
    } reads[] = {
        {"lone 0xFF", "\xFF", u"\uF8F5"},
        {"0xFF between letters", "a\xFF" "b", u"a\uF8F5b"},
        {"euro sign", "\x80", u"\u20AC"},
        {"full-width yen", "\xA3\xA4", u"\uFFE5"},
    };
    for (const auto& r : reads)
    {
        SCOPED_TRACE(r.what);
        for (DWORD flags : {DWORD(0), DWORD(MB_ERR_INVALID_CHARS)})
        {
            char16_t wide[8] = {};
            int n = MultiByteToWideChar(936, flags, r.bytes.data(), int(r.bytes.size()), wide, 8);
            EXPECT_EQ(std::u16string(wide, n), r.wide) << flags;
        }
    }

    const struct
    {
        const char* what;
        std::u16string wide;
        DWORD flags;
        std::string bytes;
        BOOL usedDefault;
    } writes[] = {
        {"yen sign, best fit", u"\u00A5", 0, "\xA3\xA4", FALSE},
        {"yen sign, no best fit", u"\u00A5", WC_NO_BEST_FIT_CHARS, "?", TRUE},
        {"cent and pound signs, best fit", u"\u00A2\u00A3", 0, "\xA1\xE9\xA1\xEA", FALSE},
        {"U+F8F5 back to 0xFF", u"\uF8F5", WC_NO_BEST_FIT_CHARS, "\xFF", FALSE},
        {"surrogate pair without a mapping", u"x\U0001F600y", 0, "x??y", TRUE},
        {"surrogate pair, no best fit", u"\U0001F600", WC_NO_BEST_FIT_CHARS, "??", TRUE},
    };
    for (const auto& w : writes)
    {
        SCOPED_TRACE(w.what);
        char bytes[16] = {};
        BOOL used = 2;
        int n = WideCharToMultiByte(936, w.flags, w.wide.data(), int(w.wide.size()), bytes, sizeof bytes, nullptr,
                                    &used);
        EXPECT_EQ(std::string(bytes, n), w.bytes);
        EXPECT_EQ(used, w.usedDefault);
        EXPECT_EQ(WideCharToMultiByte(936, w.flags, w.wide.data(), int(w.wide.size()), nullptr, 0, nullptr, nullptr),
                  int(w.bytes.size()))
            << "the size query";
    }
}

TEST_F(FreshMachine, AnsiCodePageComesFromTheMachine)
{
    if (!SetNlsValue(u"CodePage", u"ACP", u"1252"))
        GTEST_SKIP() << "registry not available";
    EXPECT_EQ(GetACP(), 1252u);
    char16_t wide[4] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xE9\x80", 2, wide, 4), 2);
    EXPECT_EQ(std::u16string(wide, 2), u"é€");
}
TEST_F(FreshMachine, InvalidGbkIsRefusedOnRequest)
{
    char16_t wide[8] = {};
    const std::string cases[] = {"a\x81", "\x81\x20", "\x81\x7F"};
    for (const std::string& bytes : cases)
    {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide, 8),
                  0)
            << bytes.size();
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\xD6\xD0", 2, wide, 8), 1);
    EXPECT_EQ(wide[0], u'中');
}
} // namespace
