// <windows.h> before the standard headers: the WCHAR overloads of the C runtime must not
// make std::stoi, std::filesystem or std::wcslen ambiguous. This file compiling is the test.
#include "windows.h"

#include <cwchar>
#include <filesystem>
#include <string>

#include "shlwapi.h"
#include "strsafe.h"

#include <gtest/gtest.h>

TEST(IncludeOrder, WindowsFirstLeavesTheStandardLibraryIntact)
{
    EXPECT_EQ(std::stoi(std::wstring(L"42")), 42);
    EXPECT_EQ(std::stoul(std::wstring(L"ff"), nullptr, 16), 255u);
    EXPECT_EQ(std::to_wstring(7), L"7");
    EXPECT_EQ(std::wcslen(L"abc"), 3u);
    EXPECT_EQ(std::filesystem::path(u"a/b").filename().u16string(), u"b");
    EXPECT_EQ(wcslen(u"abcd"), 4u);
    EXPECT_EQ(wcstol(u"-12", nullptr, 10), -12);
}
