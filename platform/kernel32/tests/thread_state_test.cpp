// The last error and the UI language override belong to one thread, as on Windows.
#include <thread>

#include "test_machine.h"

namespace
{
TEST_F(FreshMachine, LastErrorIsPerThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen = 1, after = 0;
    std::thread other(
        [&]
        {
            seen = GetLastError();
            SetLastError(ERROR_NO_MORE_ITEMS);
            after = GetLastError();
        });
    other.join();
    EXPECT_EQ(seen, 0u) << "a new thread starts with 0";
    EXPECT_EQ(after, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(0x20001002);
    EXPECT_EQ(GetLastError(), 0x20001002u) << "customer codes pass unchanged";
}

TEST_F(FreshMachine, UiLanguageOverrideIsPerThread)
{
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409) << "the machine's default";
    EXPECT_EQ(GetThreadUILanguage(), 0x0409);
    EXPECT_EQ(SetThreadUILanguage(0x0804), 0x0804);
    LANGID inOther = 0;
    std::thread other([&] { inOther = GetThreadUILanguage(); });
    other.join();
    EXPECT_EQ(inOther, 0x0409);
    EXPECT_EQ(GetThreadUILanguage(), 0x0804);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409) << "the override changes only the thread";

    SetLastError(0);
    EXPECT_EQ(SetThreadUILanguage(MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetThreadUILanguage(0), 0x0409) << "0 returns to the user's language";
}
} // namespace
