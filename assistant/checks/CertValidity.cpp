// Validity of the token's certificates by local calendar dates.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MiddlewareConfig.h"
#include "TokenChecks.h"

namespace
{
int Digits(const char* text, size_t from, size_t count)
{
    char part[8] = {};
    size_t length = std::strlen(text);
    for (size_t i = 0; i < count && from + i < length; ++i)
        part[i] = text[from + i];
    return std::atoi(part);
}

// Whole days from now to local midnight of the date, truncated toward zero; false for a date
// the calendar cannot hold.
bool DaysUntil(const char* text, long long* days)
{
    DateParts d = ParseDateText(text);
    if (d.year < 1900 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31)
        return false;
    SYSTEMTIME local = {};
    local.wYear = WORD(d.year);
    local.wMonth = WORD(d.month);
    local.wDay = WORD(d.day);
    FILETIME localMidnight, midnight, now;
    if (!SystemTimeToFileTime(&local, &localMidnight) || !LocalFileTimeToFileTime(&localMidnight, &midnight))
        return false;
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) { return (long long)(((unsigned long long)t.dwHighDateTime << 32) | t.dwLowDateTime); };
    *days = (ticks(midnight) - ticks(now)) / 10000000LL / 86400LL;
    return true;
}
} // namespace

DateParts ParseDateText(const char* text)
{
    return {Digits(text, 0, 4), Digits(text, 4, 2), Digits(text, 6, 2)};
}

int CompareCertValidity(const char* notAfter, const char* notBefore)
{
    if (!notAfter || !notBefore)
        return -1;
    long long days = 0;
    // A date outside the calendar cannot be judged; such a certificate counts in no group.
    if (!DaysUntil(notAfter, &days))
        return -1;
    if (days < 0)
        return 1;
    if (days < g_middlewareConfig.expiryWindowDays)
        return 2;
    if (!DaysUntil(notBefore, &days))
        return -1;
    return days >= 1 ? 3 : 0;
}

void ParseCertificateInfo(PCCERT_CONTEXT cert, CertValidityText* record)
{
    auto text = [](const FILETIME& utc) -> std::string
    {
        FILETIME local;
        SYSTEMTIME st;
        if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st))
            return {};
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", st.wYear, st.wMonth, st.wDay, st.wHour,
                      st.wMinute, st.wSecond);
        return buffer;
    };
    record->notBefore = text(cert->pCertInfo->NotBefore);
    record->notAfter = text(cert->pCertInfo->NotAfter);
    CertFreeCertificateContext(cert);
}
