// System and local time, FILETIME conversions (100 ns units since 1601-01-01 UTC).
#include <ctime>

#include "winbase.h"

namespace
{
constexpr long long kTicksPerSecond = 10000000LL;
constexpr long long kUnixEpochSeconds = 11644473600LL; // 1601-01-01 to 1970-01-01
constexpr long long kMaxFileTime = 0x7FFFFFFFFFFFFFFFLL;

long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468; // days since 1970-01-01
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(unsigned y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(unsigned y, unsigned m)
{
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

long long ToTicks(const FILETIME& ft)
{
    return static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME FromTicks(long long ticks)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(ticks) >> 32);
    return ft;
}

bool ValidSystemTime(const SYSTEMTIME& st)
{
    return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 &&
           st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 &&
           st.wMilliseconds < 1000;
}

// Seconds since 1970 of a SYSTEMTIME taken as a plain calendar value.
long long CalendarSeconds(const SYSTEMTIME& st)
{
    return DaysFromCivil(st.wYear, st.wMonth, st.wDay) * 86400LL + st.wHour * 3600LL + st.wMinute * 60LL + st.wSecond;
}

SYSTEMTIME FromCalendarSeconds(long long seconds, WORD milliseconds)
{
    long long days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    long long rest = seconds - days * 86400;
    long long y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    st.wHour = static_cast<WORD>(rest / 3600);
    st.wMinute = static_cast<WORD>(rest / 60 % 60);
    st.wSecond = static_cast<WORD>(rest % 60);
    st.wMilliseconds = milliseconds;
    return st;
}

long long NowTicks()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (ts.tv_sec + kUnixEpochSeconds) * kTicksPerSecond + ts.tv_nsec / 100;
}

// Offset of local time from UTC at the Unix time t, in seconds.
long long LocalOffsetAt(time_t t)
{
    tm local{};
    localtime_r(&t, &local);
    return local.tm_gmtoff;
}

long long CurrentLocalOffset()
{
    return LocalOffsetAt(time(nullptr));
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}
// in moved by delta ticks; a result outside 0..kMaxFileTime (or an input above it) fails.
BOOL Shift(const FILETIME& in, long long delta, LPFILETIME out)
{
    const long long ticks = ToTicks(in);
    if (ticks < 0 || (delta > 0 && ticks > kMaxFileTime - delta) || ticks + delta < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    *out = FromTicks(ticks + delta);
    return TRUE;
}
} // namespace

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime)
{
    *lpSystemTimeAsFileTime = FromTicks(NowTicks());
}

void GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    FILETIME ft = FromTicks(NowTicks());
    FileTimeToSystemTime(&ft, lpSystemTime);
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    long long ticks = NowTicks();
    time_t now = static_cast<time_t>(ticks / kTicksPerSecond - kUnixEpochSeconds);
    FILETIME ft = FromTicks(ticks + LocalOffsetAt(now) * kTicksPerSecond);
    FileTimeToSystemTime(&ft, lpSystemTime);
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime)
{
    if (!lpFileTime || !lpSystemTime)
        return Fail(ERROR_INVALID_PARAMETER);
    long long ticks = ToTicks(*lpFileTime);
    if (ticks < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    long long seconds = ticks / kTicksPerSecond - kUnixEpochSeconds;
    *lpSystemTime = FromCalendarSeconds(seconds, static_cast<WORD>(ticks % kTicksPerSecond / 10000));
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime)
{
    if (!lpSystemTime || !lpFileTime || !ValidSystemTime(*lpSystemTime))
        return Fail(ERROR_INVALID_PARAMETER);
    long long ticks = (CalendarSeconds(*lpSystemTime) + kUnixEpochSeconds) * kTicksPerSecond +
                      lpSystemTime->wMilliseconds * 10000LL;
    *lpFileTime = FromTicks(ticks);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime)
{
    if (!lpFileTime || !lpLocalFileTime)
        return Fail(ERROR_INVALID_PARAMETER);
    // Windows applies the current bias, not the one in force at that time.
    return Shift(*lpFileTime, CurrentLocalOffset() * kTicksPerSecond, lpLocalFileTime);
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime)
{
    if (!lpLocalFileTime || !lpFileTime)
        return Fail(ERROR_INVALID_PARAMETER);
    return Shift(*lpLocalFileTime, -CurrentLocalOffset() * kTicksPerSecond, lpFileTime);
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* lpTimeZoneInformation,
                                     const SYSTEMTIME* lpUniversalTime, LPSYSTEMTIME lpLocalTime)
{
    if (lpTimeZoneInformation)
        return Fail(ERROR_NOT_SUPPORTED);
    if (!lpUniversalTime || !lpLocalTime || !ValidSystemTime(*lpUniversalTime))
        return Fail(ERROR_INVALID_PARAMETER);
    long long utc = CalendarSeconds(*lpUniversalTime);
    *lpLocalTime = FromCalendarSeconds(utc + LocalOffsetAt(static_cast<time_t>(utc)), lpUniversalTime->wMilliseconds);
    return TRUE;
}

BOOL TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION* lpTimeZoneInformation, const SYSTEMTIME* lpLocalTime,
                                     LPSYSTEMTIME lpUniversalTime)
{
    if (lpTimeZoneInformation)
        return Fail(ERROR_NOT_SUPPORTED);
    if (!lpLocalTime || !lpUniversalTime || !ValidSystemTime(*lpLocalTime))
        return Fail(ERROR_INVALID_PARAMETER);
    long long local = CalendarSeconds(*lpLocalTime);
    // The offset at the local time read as UTC, corrected once for a change in between.
    long long offset = LocalOffsetAt(static_cast<time_t>(local));
    offset = LocalOffsetAt(static_cast<time_t>(local - offset));
    *lpUniversalTime = FromCalendarSeconds(local - offset, lpLocalTime->wMilliseconds);
    return TRUE;
}

LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2)
{
    unsigned long long a = (static_cast<unsigned long long>(lpFileTime1->dwHighDateTime) << 32) | lpFileTime1->dwLowDateTime;
    unsigned long long b = (static_cast<unsigned long long>(lpFileTime2->dwHighDateTime) << 32) | lpFileTime2->dwLowDateTime;
    return a < b ? -1 : (a > b ? 1 : 0);
}

ULONGLONG GetTickCount64(void)
{
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<ULONGLONG>(ts.tv_sec) * 1000 + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000;
}

DWORD GetTickCount(void)
{
    return static_cast<DWORD>(GetTickCount64());
}
