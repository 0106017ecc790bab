// BSTR as oleaut32 lays it out: a 32-bit byte count before the characters, a terminator
// after them, embedded nulls kept, NULL as the empty string.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "oleauto.h"
#include "windows.h"

namespace
{
uint32_t Prefix(BSTR b)
{
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<const char*>(b) - 4, 4);
    return bytes;
}

TEST(Bstr, LengthPrefixAndTerminator)
{
    BSTR b = SysAllocString(u"中文ab");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 4u);
    EXPECT_EQ(SysStringByteLen(b), 8u);
    EXPECT_EQ(Prefix(b), 8u);
    EXPECT_EQ(b[4], u'\0');
    SysFreeString(b);

    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr) << "an empty string is a real BSTR";
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(Bstr, AllocStringLenKeepsEmbeddedNullsAndReservesWithoutSource)
{
    const char16_t text[] = {u'a', 0, u'b', u'c'};
    BSTR b = SysAllocStringLen(text, 4);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 4u);
    EXPECT_EQ(std::u16string(b, 4), std::u16string(text, 4));
    EXPECT_EQ(b[4], u'\0');
    SysFreeString(b);

    BSTR partial = SysAllocStringLen(u"abcdef", 3);
    EXPECT_EQ(std::u16string(partial), u"abc");
    SysFreeString(partial);

    BSTR reserved = SysAllocStringLen(nullptr, 5);
    ASSERT_NE(reserved, nullptr);
    EXPECT_EQ(SysStringLen(reserved), 5u);
    EXPECT_EQ(reserved[5], u'\0');
    for (int i = 0; i < 5; ++i)
        reserved[i] = u'x';
    SysFreeString(reserved);

    BSTR zero = SysAllocStringLen(nullptr, 0);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(SysStringLen(zero), 0u);
    SysFreeString(zero);
}

TEST(Bstr, NullIsTheEmptyString)
{
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Bstr, ByteLenAndReallocation)
{
    BSTR b = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringByteLen(b), 3u);
    EXPECT_EQ(SysStringLen(b), 1u) << "whole characters only";
    EXPECT_EQ(std::memcmp(b, "abc\0", 4), 0) << "two terminating zero bytes follow the bytes";
    EXPECT_EQ(SysReAllocString(&b, u"longer text"), TRUE);
    EXPECT_EQ(std::u16string(b), u"longer text");
    EXPECT_EQ(SysReAllocStringLen(&b, u"xy", 2), TRUE);
    EXPECT_EQ(SysStringLen(b), 2u);
    EXPECT_EQ(std::u16string(b), u"xy");
    SysFreeString(b);
}

TEST(Bstr, HugeLengthsFailCleanly)
{
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}
} // namespace
