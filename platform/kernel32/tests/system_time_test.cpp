// SYSTEMTIME and FILETIME as Windows counts them: 100 ns ticks since 1601-01-01 UTC.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "windows.h"

namespace
{
unsigned long long Ticks(const FILETIME& ft)
{
    return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
FILETIME FromTicks(unsigned long long t)
{
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}
SYSTEMTIME Date(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0)
{
    SYSTEMTIME st{};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    st.wMilliseconds = ms;
    return st;
}

TEST(SystemTime, ConvertsBothWaysWithWindowsEpochAndWeekday)
{
    struct
    {
        SYSTEMTIME time;
        unsigned long long ticks;
        WORD dayOfWeek;
    } cases[] = {
        {Date(1601, 1, 1), 0ULL, 1},                  // a Monday
        {Date(1970, 1, 1), 116444736000000000ULL, 4}, // Thursday
        {Date(2000, 2, 29, 12, 30, 15, 250), 125963010152500000ULL, 2},
        {Date(2026, 12, 10, 23, 59, 59, 999), 134414207999990000ULL, 4},
    };
    for (const auto& c : cases)
    {
        FILETIME ft{};
        ASSERT_TRUE(SystemTimeToFileTime(&c.time, &ft)) << c.time.wYear;
        EXPECT_EQ(Ticks(ft), c.ticks) << c.time.wYear;
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
        EXPECT_EQ(back.wYear, c.time.wYear);
        EXPECT_EQ(back.wMonth, c.time.wMonth);
        EXPECT_EQ(back.wDay, c.time.wDay);
        EXPECT_EQ(back.wHour, c.time.wHour);
        EXPECT_EQ(back.wSecond, c.time.wSecond);
        EXPECT_EQ(back.wMilliseconds, c.time.wMilliseconds);
        EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek) << c.time.wYear;
    }
}

TEST(SystemTime, InvalidDatesAreRefused)
{
    const SYSTEMTIME bad[] = {Date(1600, 12, 31),
                              Date(2023, 2, 29),
                              Date(2024, 13, 1),
                              Date(2024, 4, 31),
                              Date(2024, 1, 1, 24),
                              Date(2024, 1, 1, 0, 60),
                              Date(2024, 1, 1, 0, 0, 0, 1000),
                              Date(2024, 0, 1)};
    for (const SYSTEMTIME& st : bad)
    {
        FILETIME ft{};
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&st, &ft))
            << st.wYear << "-" << st.wMonth << "-" << st.wDay;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    SYSTEMTIME leap = Date(2024, 2, 29);
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));
    const FILETIME negative = FromTicks(0x8000000000000000ULL);
    SYSTEMTIME st{};
    SetLastError(0);
    EXPECT_FALSE(FileTimeToSystemTime(&negative, &st));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(SystemTime, CompareFileTimeOrders)
{
    const FILETIME a = FromTicks(5), b = FromTicks(0x100000000ULL);
    EXPECT_EQ(CompareFileTime(&a, &b), -1);
    EXPECT_EQ(CompareFileTime(&b, &a), 1);
    EXPECT_EQ(CompareFileTime(&a, &a), 0);
}

TEST(SystemTime, LocalFileTimeAppliesTheZoneBias)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "CST-8", 1); // China Standard Time, UTC+8, no daylight saving
    tzset();
    const FILETIME utc = FromTicks(116444736000000000ULL);
    FILETIME local{}, back{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(Ticks(local) - Ticks(utc), 8ULL * 3600 * 10000000);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(Ticks(back), Ticks(utc));
    const FILETIME last = FromTicks(0x7FFFFFFFFFFFFFFFULL);
    SetLastError(0);
    EXPECT_FALSE(FileTimeToLocalFileTime(&last, &local)) << "past the last FILETIME";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
} // namespace
