// The runtime's and user32's bounded wide formatting functions.
#include <algorithm>

#include "crtwide.h"
#include "wide_format.h"

using qm::crt::FormatRules;
using qm::crt::VaListArgs;
using qm::crt::WideOutput;

namespace
{
// Formats at most capacity characters into buffer; returns the full length, or -1 for an
// invalid format.
long long Format(char16_t* buffer, size_t capacity, const char16_t* format, va_list args,
                 const FormatRules& rules = {})
{
    if (!format)
        return -1;
    VaListArgs source(args);
    WideOutput out{buffer, buffer ? capacity : 0, 0};
    if (!qm::crt::FormatWide(format, source, rules, out))
        return -1;
    return static_cast<long long>(std::min<size_t>(out.count, 0x7FFFFFFF));
}
} // namespace

int _vsnwprintf(char16_t* buffer, size_t count, const char16_t* format, va_list args)
{
    long long n = Format(buffer, count, format, args);
    if (n < 0)
    {
        if (buffer && count)
            buffer[0] = 0;
        return -1;
    }
    if (static_cast<size_t>(n) < count)
        buffer[n] = 0;
    return static_cast<size_t>(n) <= count ? static_cast<int>(n) : -1;
}

int _snwprintf(char16_t* buffer, size_t count, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return n;
}

int vswprintf_s(char16_t* buffer, size_t sizeOfBuffer, const char16_t* format, va_list args)
{
    if (!buffer || sizeOfBuffer == 0)
        return -1;
    long long n = Format(buffer, sizeOfBuffer, format, args);
    if (n < 0 || static_cast<size_t>(n) >= sizeOfBuffer)
    {
        buffer[0] = 0;
        return -1;
    }
    buffer[n] = 0;
    return static_cast<int>(n);
}

int swprintf_s(char16_t* buffer, size_t sizeOfBuffer, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vswprintf_s(buffer, sizeOfBuffer, format, args);
    va_end(args);
    return n;
}

int _vsnwprintf_s(char16_t* buffer, size_t sizeOfBuffer, size_t count, const char16_t* format, va_list args)
{
    if (!buffer || sizeOfBuffer == 0)
        return -1;
    if (count == _TRUNCATE || count < sizeOfBuffer)
    {
        const size_t limit = (count == _TRUNCATE) ? sizeOfBuffer - 1 : count;
        long long n = Format(buffer, limit, format, args);
        if (n < 0)
        {
            buffer[0] = 0;
            return -1;
        }
        buffer[std::min<size_t>(n, limit)] = 0;
        return static_cast<size_t>(n) <= limit ? static_cast<int>(n) : -1;
    }
    return vswprintf_s(buffer, sizeOfBuffer, format, args);
}

int _snwprintf_s(char16_t* buffer, size_t sizeOfBuffer, size_t count, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf_s(buffer, sizeOfBuffer, count, format, args);
    va_end(args);
    return n;
}

int _vscwprintf(const char16_t* format, va_list args)
{
    long long n = Format(nullptr, 0, format, args);
    return static_cast<int>(n);
}

int _scwprintf(const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = _vscwprintf(format, args);
    va_end(args);
    return n;
}

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args)
{
    constexpr size_t kLimit = 1024; // user32's buffer, terminator included
    if (!buffer || !format)
        return 0;
    FormatRules rules;
    rules.floatingPoint = false;
    rules.unknownIsLiteral = true;
    rules.narrow = qm::crt::NarrowText::AnsiCodePage;
    long long n = Format(buffer, kLimit - 1, format, args, rules);
    if (n < 0)
        n = 0;
    n = std::min<long long>(n, kLimit - 1);
    buffer[n] = 0;
    return static_cast<int>(n);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int n = wvsprintfW(buffer, format, args);
    va_end(args);
    return n;
}
