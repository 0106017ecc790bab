// The runtime's wide-string functions for char16_t.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "crtwide.h"

size_t wcslen(const char16_t* s)
{
    const char16_t* p = s;
    while (*p)
        ++p;
    return static_cast<size_t>(p - s);
}

size_t wcsnlen(const char16_t* s, size_t maxCount)
{
    size_t n = 0;
    while (n < maxCount && s[n])
        ++n;
    return n;
}

char16_t* wcscpy(char16_t* dest, const char16_t* src)
{
    char16_t* d = dest;
    while ((*d++ = *src++))
    {
    }
    return dest;
}

char16_t* wcsncpy(char16_t* dest, const char16_t* src, size_t count)
{
    size_t i = 0;
    for (; i < count && src[i]; ++i)
        dest[i] = src[i];
    for (; i < count; ++i)
        dest[i] = 0;
    return dest;
}

char16_t* wcscat(char16_t* dest, const char16_t* src)
{
    wcscpy(dest + wcslen(dest), src);
    return dest;
}

char16_t* wcsncat(char16_t* dest, const char16_t* src, size_t count)
{
    char16_t* d = dest + wcslen(dest);
    size_t i = 0;
    for (; i < count && src[i]; ++i)
        d[i] = src[i];
    d[i] = 0;
    return dest;
}

int wcscmp(const char16_t* a, const char16_t* b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return (*a > *b) - (*a < *b);
}

int wcsncmp(const char16_t* a, const char16_t* b, size_t count)
{
    for (; count; --count, ++a, ++b)
    {
        if (*a != *b)
            return (*a > *b) - (*a < *b);
        if (!*a)
            break;
    }
    return 0;
}

const char16_t* wcschr(const char16_t* s, char16_t c)
{
    for (;; ++s)
    {
        if (*s == c)
            return s;
        if (!*s)
            return nullptr;
    }
}

char16_t* wcschr(char16_t* s, char16_t c)
{
    return const_cast<char16_t*>(wcschr(static_cast<const char16_t*>(s), c));
}

const char16_t* wcsrchr(const char16_t* s, char16_t c)
{
    const char16_t* found = nullptr;
    for (;; ++s)
    {
        if (*s == c)
            found = s;
        if (!*s)
            return found;
    }
}

char16_t* wcsrchr(char16_t* s, char16_t c)
{
    return const_cast<char16_t*>(wcsrchr(static_cast<const char16_t*>(s), c));
}

const char16_t* wcsstr(const char16_t* s, const char16_t* find)
{
    if (!*find)
        return s;
    const size_t n = wcslen(find);
    for (; *s; ++s)
        if (*s == *find && wcsncmp(s, find, n) == 0)
            return s;
    return nullptr;
}

char16_t* wcsstr(char16_t* s, const char16_t* find)
{
    return const_cast<char16_t*>(wcsstr(static_cast<const char16_t*>(s), find));
}

size_t wcsspn(const char16_t* s, const char16_t* accept)
{
    size_t n = 0;
    while (s[n] && wcschr(accept, s[n]))
        ++n;
    return n;
}

size_t wcscspn(const char16_t* s, const char16_t* reject)
{
    size_t n = 0;
    while (s[n] && !wcschr(reject, s[n]))
        ++n;
    return n;
}

int _wcsicmp(const char16_t* a, const char16_t* b)
{
    return _wcsnicmp(a, b, SIZE_MAX);
}

int _wcsnicmp(const char16_t* a, const char16_t* b, size_t count)
{
    for (; count; --count, ++a, ++b)
    {
        char16_t ca = towlower(*a), cb = towlower(*b);
        if (ca != cb)
            return static_cast<int>(ca) - static_cast<int>(cb);
        if (!ca)
            break;
    }
    return 0;
}

char16_t* _wcsdup(const char16_t* s)
{
    if (!s)
        return nullptr;
    size_t bytes = (wcslen(s) + 1) * sizeof(char16_t);
    auto* copy = static_cast<char16_t*>(std::malloc(bytes));
    if (copy)
        std::memcpy(copy, s, bytes);
    return copy;
}

char16_t* _wcslwr(char16_t* s)
{
    for (char16_t* p = s; *p; ++p)
        *p = towlower(*p);
    return s;
}

char16_t* _wcsupr(char16_t* s)
{
    for (char16_t* p = s; *p; ++p)
        *p = towupper(*p);
    return s;
}

namespace
{
bool IsSpace(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Parses like strtoul; reports overflow in *overflow and the sign in *negative.
unsigned long long ParseUnsigned(const char16_t* s, char16_t** end, int base, bool* negative, bool* overflow)
{
    const char16_t* p = s;
    *negative = false;
    *overflow = false;
    while (IsSpace(*p))
        ++p;
    if (*p == u'+' || *p == u'-')
        *negative = (*p++ == u'-');
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X'))
    {
        p += 2;
        base = 16;
    }
    else if (base == 0)
        base = (*p == u'0') ? 8 : 10;
    unsigned long long value = 0;
    const char16_t* digits = p;
    for (;; ++p)
    {
        int d;
        if (*p >= u'0' && *p <= u'9')
            d = *p - u'0';
        else if (*p >= u'a' && *p <= u'z')
            d = *p - u'a' + 10;
        else if (*p >= u'A' && *p <= u'Z')
            d = *p - u'A' + 10;
        else
            break;
        if (d >= base)
            break;
        if (value > (ULLONG_MAX - d) / base)
            *overflow = true;
        else
            value = value * base + d;
    }
    if (end)
        *end = const_cast<char16_t*>(p == digits ? s : p);
    return value;
}
} // namespace

// Windows' long is 32 bits: results saturate at its range, as the MSVC runtime's do.
constexpr long long kLongMax = 0x7FFFFFFF;
constexpr unsigned long long kULongMax = 0xFFFFFFFFu;

long wcstol(const char16_t* s, char16_t** end, int base)
{
    bool negative, overflow;
    unsigned long long v = ParseUnsigned(s, end, base, &negative, &overflow);
    if (!negative && (overflow || v > static_cast<unsigned long long>(kLongMax)))
        return errno = ERANGE, static_cast<long>(kLongMax);
    if (negative && (overflow || v > static_cast<unsigned long long>(kLongMax) + 1))
        return errno = ERANGE, static_cast<long>(-kLongMax - 1);
    return negative ? static_cast<long>(-static_cast<long long>(v)) : static_cast<long>(v);
}

unsigned long wcstoul(const char16_t* s, char16_t** end, int base)
{
    bool negative, overflow;
    unsigned long long v = ParseUnsigned(s, end, base, &negative, &overflow);
    if (overflow || v > kULongMax)
        return errno = ERANGE, static_cast<unsigned long>(kULongMax);
    return static_cast<unsigned long>(negative ? (0 - v) & kULongMax : v);
}

int _wtoi(const char16_t* s)
{
    return static_cast<int>(wcstol(s, nullptr, 10));
}

errno_t wcscpy_s(char16_t* dest, size_t destSize, const char16_t* src)
{
    return wcsncpy_s(dest, destSize, src, SIZE_MAX - 1);
}

errno_t wcsncpy_s(char16_t* dest, size_t destSize, const char16_t* src, size_t count)
{
    if (!dest || destSize == 0)
        return EINVAL;
    if (!src)
    {
        dest[0] = 0;
        return EINVAL;
    }
    const bool truncate = (count == _TRUNCATE);
    const size_t want = truncate ? wcslen(src) : wcsnlen(src, count);
    if (want >= destSize)
    {
        if (!truncate)
        {
            dest[0] = 0;
            return ERANGE;
        }
        std::memcpy(dest, src, (destSize - 1) * sizeof(char16_t));
        dest[destSize - 1] = 0;
        return STRUNCATE;
    }
    std::memcpy(dest, src, want * sizeof(char16_t));
    dest[want] = 0;
    return 0;
}

errno_t wcscat_s(char16_t* dest, size_t destSize, const char16_t* src)
{
    return wcsncat_s(dest, destSize, src, SIZE_MAX - 1);
}

errno_t wcsncat_s(char16_t* dest, size_t destSize, const char16_t* src, size_t count)
{
    if (!dest || destSize == 0)
        return EINVAL;
    const size_t used = wcsnlen(dest, destSize);
    if (used == destSize)
    {
        dest[0] = 0; // not terminated within its size
        return EINVAL;
    }
    if (!src)
    {
        dest[0] = 0;
        return EINVAL;
    }
    errno_t rc = wcsncpy_s(dest + used, destSize - used, src, count);
    if (rc == ERANGE)
        dest[0] = 0;
    return rc;
}
