// The WCHAR string functions the kit uses, as the MSVC runtime and shlwapi answer them.
#include <cerrno>
#include <climits>

#include <gtest/gtest.h>

#include "shlwapi.h"
#include "windows.h"

namespace
{
int Sign(int v)
{
    return (v > 0) - (v < 0);
}

TEST(WideCompare, CaseInsensitiveFoldsToLowerCase)
{
    struct
    {
        const char16_t* a;
        const char16_t* b;
        int sign;
    } cases[] = {
        {u"Microsoft Base", u"MICROSOFT base", 0},
        {u"", u"", 0},
        {u"a", u"B", -1},
        {u"abc", u"ab", 1},
        // Folding to lower case puts '_' (0x5F) before the letters, as MSVC's _wcsicmp does.
        {u"_", u"a", -1},
        {u"_", u"A", -1},
        {u"[", u"b", -1},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(Sign(_wcsicmp(c.a, c.b)), c.sign) << std::u16string(c.a).size();
        EXPECT_EQ(Sign(_wcsicmp(c.b, c.a)), -c.sign);
    }
    EXPECT_EQ(_wcsnicmp(u"SM2xyz", u"sm2ABC", 3), 0);
    EXPECT_NE(_wcsnicmp(u"SM2xyz", u"sm2ABC", 4), 0);
}

TEST(WideSearch, StrStrIWFindsIgnoringCase)
{
    const char16_t* csp = u"Microsoft Enhanced RSA and AES Cryptographic Provider";
    EXPECT_EQ(StrStrIW(csp, u"rsa AND aes"), csp + 19);
    EXPECT_EQ(StrStrIW(csp, u"PROVIDER"), csp + 45);
    EXPECT_EQ(StrStrIW(csp, u"Strong"), nullptr);
    EXPECT_EQ(StrStrIW(u"ab", u"abc"), nullptr) << "a search longer than the text";
    EXPECT_EQ(StrStrIW(nullptr, u"a"), nullptr);
    EXPECT_EQ(StrStrIW(csp, nullptr), nullptr);
    EXPECT_EQ(StrStrW(csp, u"rsa"), nullptr) << "StrStrW is case-sensitive";
    EXPECT_EQ(wcsstr(csp, u"RSA"), csp + 19);
}

TEST(WideNumbers, LongIsThirtyTwoBitsAsOnWindows)
{
    struct
    {
        const char16_t* text;
        int base;
        long value;
        size_t consumed;
        bool range;
    } cases[] = {
        {u"  -12z", 10, -12, 5, false},
        {u"0x1F", 16, 31, 4, false},
        {u"0x1F", 0, 31, 4, false},
        {u"017", 0, 15, 3, false},
        {u"2147483647", 10, 2147483647L, 10, false},
        {u"2147483648", 10, 2147483647L, 10, true},
        {u"-2147483648", 10, -2147483647L - 1, 11, false},
        {u"-2147483649", 10, -2147483647L - 1, 11, true},
        {u"99999999999999999999999", 10, 2147483647L, 23, true},
        {u"xyz", 10, 0, 0, false},
    };
    for (const auto& c : cases)
    {
        char16_t* end = nullptr;
        errno = 0;
        EXPECT_EQ(wcstol(c.text, &end, c.base), c.value) << std::u16string(c.text).size();
        EXPECT_EQ(static_cast<size_t>(end - c.text), c.consumed);
        EXPECT_EQ(errno == ERANGE, c.range);
    }
    errno = 0;
    EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 4294967295UL);
    EXPECT_EQ(wcstoul(u"4294967296", nullptr, 10), 4294967295UL);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 4294967295UL);
    EXPECT_EQ(_wtoi(u"1024"), 1024);
    EXPECT_EQ(_wtoi(u"4294967297"), INT_MAX);
}

TEST(WideCopy, SecureCopiesRefuseWhatDoesNotFit)
{
    char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(wcscpy_s(buffer, u"abc"), 0);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_EQ(wcscpy_s(buffer, u"abcd"), ERANGE);
    EXPECT_EQ(buffer[0], u'\0');
    EXPECT_EQ(wcsncpy_s(buffer, u"abcdef", _TRUNCATE), STRUNCATE);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_EQ(wcscpy_s(buffer, 0, u"a"), EINVAL);
    EXPECT_EQ(wcscpy_s(buffer, nullptr), EINVAL);
    EXPECT_EQ(buffer[0], u'\0');
}
} // namespace
