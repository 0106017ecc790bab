// %ws formatting into bounded buffers, as the MSVC runtime, strsafe and user32 do it.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "strsafe.h"
#include "windows.h"

namespace
{
TEST(WideFormat, TraceLinesFormatIntoTheirBuffer)
{
    char16_t line[512];
    ASSERT_EQ(StringCchPrintfW(line, 512, u"[%ws(%d):] %ws - %ws [Reason:%ws]", u"CryptoAgent.cpp",
                               118, u"CCryptoAgent::SignMsgPKCS7", u"CryptSignHash", u"!bResult"),
              S_OK);
    EXPECT_EQ(
        std::u16string(line),
        u"[CryptoAgent.cpp(118):] CCryptoAgent::SignMsgPKCS7 - CryptSignHash [Reason:!bResult]");
    ASSERT_EQ(
        StringCchPrintfW(line, 512, u"%ws\n(0x%08x)", u"Invalid certificate usage.", 0xA0072021u),
        S_OK);
    EXPECT_EQ(std::u16string(line), u"Invalid certificate usage.\n(0xa0072021)");
    ASSERT_EQ(StringCchPrintfW(line, 512, u"(0x%08X) %-4d|%5ws|%ls|%s", 0x8007000Eu, 7, u"ab", u"l",
                               u"s"),
              S_OK);
    EXPECT_EQ(std::u16string(line), u"(0x8007000E) 7   |   ab|l|s");
    ASSERT_EQ(StringCchPrintfW(line, 512, u"%hs %S %ws", "narrow", "upper",
                               static_cast<const char16_t*>(nullptr)),
              S_OK);
    EXPECT_EQ(std::u16string(line), u"narrow upper (null)");
}

std::u16string Format(const char16_t* format, ...)
{
    char16_t out[128];
    va_list args;
    va_start(args, format);
    const int n = _vsnwprintf(out, 128, format, args);
    va_end(args);
    return n < 0 ? u"<cut>" : std::u16string(out, n);
}

TEST(WideFormat, ConversionsAsTheMsvcRuntimeWritesThem)
{
    const struct
    {
        std::u16string got;
        const char16_t* wanted;
    } cases[] = {
        {Format(u"%5.2ws|%-4ws|", u"abc", u"x"), u"   ab|x   |"},
        {Format(u"%-5d|%05d|%+d|% d", 42, -42, 5, 5), u"42   |-0042|+5| 5"},
        {Format(u"%#x %#X %#o %x", 255u, 255u, 8u, 0xA0071002u), u"0xff 0XFF 010 a0071002"},
        {Format(u"%u %ld %lu", -1, -7L, 4294967295UL), u"4294967295 -7 4294967295"},
        {Format(u"%I64d %I64u %lld", -1LL, 1ULL << 40, 123LL), u"-1 1099511627776 123"},
        {Format(u"%hd %hu", 65535, 65535), u"-1 65535"},
        {Format(u"%c%wc%C%hc", u'中', u'a', 'b', 'c'), u"中abc"},
        {Format(u"%*d|%-*d|%.*ws", 4, 7, 3, 8, 2, u"xyz"), u"   7|8  |xy"},
        {Format(u"%.3f %.2e %g %%", 3.14159, 12345.678, 0.0001), u"3.142 1.23e+04 0.0001 %"},
        {Format(u"%08.3f|%-8.1f|", -1.5, 2.75), u"-001.500|2.8     |"},
        {Format(u"%ws", static_cast<const char16_t*>(nullptr)), u"(null)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.wanted);
}

TEST(WideFormat, StrsafeCutsAndSaysSo)
{
    char16_t out[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(StringCchPrintfW(out, 6, u"%ws", u"abcdefgh"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(out), u"abcde") << "cut to the buffer, terminated";
    EXPECT_EQ(StringCchPrintfW(out, 6, u"%ws", u"abcde"), S_OK)
        << "exactly fills with the terminator";
    EXPECT_EQ(StringCchPrintfW(out, 0, u"%ws", u"a"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchCopyW(out, 3, u"abc"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(out), u"ab");
    EXPECT_EQ(StringCbPrintfW(out, sizeof(out), u"%d", 123456), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(out), u"12345");
    size_t length = 0;
    EXPECT_EQ(StringCchLengthW(u"abc", 4, &length), S_OK);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(StringCchLengthW(u"abc", 3, &length), STRSAFE_E_INVALID_PARAMETER);
}

TEST(WideFormat, RuntimeCountsAndCuts)
{
    char16_t out[8];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(_snwprintf(out, 5, u"%ws", u"abcdef"), -1);
    EXPECT_EQ(std::u16string(out, 6), u"abcde#") << "no terminator when cut";
    EXPECT_EQ(_snwprintf(out, 3, u"%ws", u"abc"), 3);
    EXPECT_EQ(out[3], u'd') << "no terminator when exactly full";
    EXPECT_EQ(_snwprintf_s(out, 4, _TRUNCATE, u"%ws", u"abcdef"), -1);
    EXPECT_EQ(std::u16string(out), u"abc");
    EXPECT_EQ(swprintf_s(out, 4, u"%ws", u"abcd"), -1);
    EXPECT_EQ(out[0], u'\0');
    EXPECT_EQ(swprintf_s(out, u"%ws-%d", u"ab", 12), 5);
    EXPECT_EQ(std::u16string(out), u"ab-12");
    EXPECT_EQ(_scwprintf(u"%ws%ws", u"abc", u"de"), 5);
}

TEST(WideFormat, WsprintfStopsAt1024Characters)
{
    std::u16string big(2000, u'a');
    std::u16string out(2048, u'#');
    EXPECT_EQ(wsprintfW(out.data(), u"%s", big.c_str()), 1023);
    EXPECT_EQ(out[1023], u'\0');
    EXPECT_EQ(wsprintfW(out.data(), u"%s %S %d", u"wide", "narrow", -5), 14);
    EXPECT_EQ(std::u16string(out.c_str()), u"wide narrow -5");
}
} // namespace
