// The ANSI entry points convert names and strings through the machine's code page (936).
#include <cstring>

#include "reg_test_support.h"

namespace
{
TEST_F(RegistryTest, AnsiStringsGoThroughTheCodePage)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Ansi", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    const char gbk[] = "\xd6\xd0\xce\xc4"; // "中文" in GBK
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(gbk), sizeof gbk));
    EXPECT_EQ(u"中文", GetString(key, u"text"));

    ASSERT_EQ(ERROR_SUCCESS, SetString(key, u"Wide", u"中文a"));
    DWORD type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "WIDE", nullptr, &type, nullptr, &size));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(6u, size);
    char out[6];
    size = 5;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Wide", nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size));
    EXPECT_EQ(6u, size);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Wide", nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size));
    EXPECT_STREQ("\xd6\xd0\xce\xc4" "a", out);

    DWORD number = 5;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "N", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4));
    DWORD back = 0;
    size = 4;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "n", nullptr, &type, reinterpret_cast<BYTE*>(&back), &size));
    EXPECT_EQ(5u, back);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "N"));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ANSI", 0, KEY_READ, &key));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Ansi"));
}
} // namespace
