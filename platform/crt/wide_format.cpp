// printf for WCHAR with the MSVC conventions: %s is a wide string in wide functions,
// %S the other width; sizes h, l (32-bit, as long is on Windows), ll, I64, I32, I, z, j, t.
#include "wide_format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "crtwide.h"
#include "winnls.h"

namespace qm::crt
{
unsigned long long VaListArgs::Integer(int size)
{
    if (size == 8)
        return va_arg(m_args, unsigned long long);
    return va_arg(m_args, unsigned int);
}

double VaListArgs::Double()
{
    return va_arg(m_args, double);
}

const void* VaListArgs::Pointer()
{
    return va_arg(m_args, const void*);
}

namespace
{
struct Spec
{
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;
    int size = 4;       // integer size in bytes
    int textWidth = 0;  // 0: the function's own width, 1: narrow, 2: wide
};

constexpr int kPointerSize = sizeof(void*);

void Pad(WideOutput& out, int n, char16_t c)
{
    for (; n > 0; --n)
        out.Put(c);
}

void PutText(WideOutput& out, const Spec& spec, const char16_t* text, size_t len)
{
    int pad = spec.width > static_cast<int>(len) ? spec.width - static_cast<int>(len) : 0;
    if (!spec.left)
        Pad(out, pad, spec.zero ? u'0' : u' ');
    for (size_t i = 0; i < len; ++i)
        out.Put(text[i]);
    if (spec.left)
        Pad(out, pad, u' ');
}

std::u16string NarrowToWide(const char* s, size_t len, NarrowText narrow)
{
    std::u16string w;
    if (narrow == NarrowText::Latin1 || len == 0)
    {
        for (size_t i = 0; i < len; ++i)
            w.push_back(static_cast<unsigned char>(s[i]));
        return w;
    }
    int n = MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(len), nullptr, 0);
    if (n <= 0)
        return w;
    w.resize(n);
    MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(len), w.data(), n);
    return w;
}

void FormatString(WideOutput& out, const Spec& spec, bool wide, const void* arg, NarrowText narrow)
{
    static const char16_t kNull[] = u"(null)";
    if (!arg)
    {
        size_t len = 6;
        if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < len)
            len = spec.precision;
        PutText(out, spec, kNull, len);
        return;
    }
    const size_t limit = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : SIZE_MAX;
    if (wide)
    {
        auto* s = static_cast<const char16_t*>(arg);
        PutText(out, spec, s, wcsnlen(s, limit));
        return;
    }
    auto* s = static_cast<const char*>(arg);
    std::u16string w = NarrowToWide(s, strnlen(s, limit), narrow);
    PutText(out, spec, w.data(), w.size());
}

void FormatChar(WideOutput& out, const Spec& spec, bool wide, unsigned long long value, NarrowText narrow)
{
    char16_t c;
    if (wide)
        c = static_cast<char16_t>(value);
    else
    {
        char b = static_cast<char>(value);
        std::u16string w = NarrowToWide(&b, 1, narrow);
        c = w.empty() ? u'?' : w[0];
    }
    PutText(out, spec, &c, 1);
}

void FormatInteger(WideOutput& out, const Spec& spec, char16_t conv, unsigned long long raw)
{
    const bool isSigned = (conv == u'd' || conv == u'i');
    const int bits = spec.size * 8;
    unsigned long long value = raw;
    if (bits < 64)
        value &= (1ULL << bits) - 1;
    bool negative = false;
    if (isSigned && bits <= 64 && (value >> (bits - 1)) & 1)
    {
        negative = true;
        value = (bits < 64) ? ((1ULL << bits) - value) : (0 - value);
    }

    unsigned base = 10;
    const char* digitsSet = "0123456789abcdef";
    if (conv == u'x' || conv == u'p')
        base = 16;
    else if (conv == u'X')
        base = 16, digitsSet = "0123456789ABCDEF";
    else if (conv == u'o')
        base = 8;
    if (conv == u'p')
        digitsSet = "0123456789ABCDEF";

    char16_t digits[72];
    int nd = 0;
    for (unsigned long long v = value; v; v /= base)
        digits[nd++] = digitsSet[v % base];
    int precision = spec.precision;
    if (conv == u'p')
        precision = kPointerSize * 2;
    int zeros = precision > nd ? precision - nd : 0;
    if (precision < 0 && nd == 0)
        zeros = 1; // the single 0
    if (conv == u'o' && spec.alt && zeros == 0 && (nd == 0 || digits[nd - 1] != u'0'))
        zeros = 1;

    char16_t prefix[3];
    int np = 0;
    if (negative)
        prefix[np++] = u'-';
    else if (isSigned && spec.plus)
        prefix[np++] = u'+';
    else if (isSigned && spec.space)
        prefix[np++] = u' ';
    if (spec.alt && value != 0 && (conv == u'x' || conv == u'X'))
    {
        prefix[np++] = u'0';
        prefix[np++] = static_cast<char16_t>(conv);
    }

    const int body = np + zeros + nd;
    int pad = spec.width > body ? spec.width - body : 0;
    const bool zeroPad = spec.zero && !spec.left && spec.precision < 0;
    if (!spec.left && !zeroPad)
        Pad(out, pad, u' ');
    for (int i = 0; i < np; ++i)
        out.Put(prefix[i]);
    if (zeroPad)
        Pad(out, pad, u'0');
    Pad(out, zeros, u'0');
    while (nd)
        out.Put(digits[--nd]);
    if (spec.left)
        Pad(out, pad, u' ');
}

void FormatFloat(WideOutput& out, const Spec& spec, char16_t conv, double value)
{
    std::string f = "%";
    if (spec.left) f += '-';
    if (spec.plus) f += '+';
    if (spec.space) f += ' ';
    if (spec.alt) f += '#';
    if (spec.zero) f += '0';
    f += "*.*";
    f += static_cast<char>(conv);
    // The engine pads itself when the text is long; the C library formats the number.
    int n = std::snprintf(nullptr, 0, f.c_str(), spec.width, spec.precision, value);
    if (n < 0)
        return;
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), f.c_str(), spec.width, spec.precision, value);
    for (int i = 0; i < n; ++i)
        out.Put(static_cast<unsigned char>(text[i]));
}

int ReadNumber(const char16_t*& p)
{
    long long v = 0;
    while (*p >= u'0' && *p <= u'9')
    {
        v = v * 10 + (*p++ - u'0');
        if (v > 0x7FFFFFFF)
            v = 0x7FFFFFFF;
    }
    return static_cast<int>(v);
}
} // namespace

bool FormatWide(const char16_t* format, ArgSource& args, const FormatRules& rules, WideOutput& out)
{
    for (const char16_t* p = format; *p;)
    {
        if (*p != u'%')
        {
            out.Put(*p++);
            continue;
        }
        const char16_t* start = p++;
        if (*p == u'%')
        {
            out.Put(*p++);
            continue;
        }
        Spec spec;
        for (;; ++p)
        {
            if (*p == u'-') spec.left = true;
            else if (*p == u'+') spec.plus = true;
            else if (*p == u' ') spec.space = true;
            else if (*p == u'#') spec.alt = true;
            else if (*p == u'0') spec.zero = true;
            else break;
        }
        if (*p == u'*')
        {
            ++p;
            spec.width = static_cast<int>(args.Integer(4));
            if (spec.width < 0)
            {
                spec.left = true;
                spec.width = spec.width == INT32_MIN ? INT32_MAX : -spec.width;
            }
        }
        else
            spec.width = ReadNumber(p);
        if (*p == u'.')
        {
            ++p;
            if (*p == u'*')
            {
                ++p;
                spec.precision = static_cast<int>(args.Integer(4));
                if (spec.precision < 0)
                    spec.precision = -1;
            }
            else
                spec.precision = ReadNumber(p);
        }
        // Size prefixes.
        if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4')
            spec.size = 8, p += 3;
        else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2')
            spec.size = 4, p += 3;
        else if (p[0] == u'I')
            spec.size = kPointerSize, ++p;
        else if (p[0] == u'l' && p[1] == u'l')
            spec.size = 8, spec.textWidth = 2, p += 2;
        else if (p[0] == u'h' && p[1] == u'h')
            spec.size = 1, spec.textWidth = 1, p += 2;
        else if (p[0] == u'l' || p[0] == u'w')
            spec.size = 4, spec.textWidth = 2, ++p;
        else if (p[0] == u'h')
            spec.size = 2, spec.textWidth = 1, ++p;
        else if (p[0] == u'z' || p[0] == u't' || p[0] == u'j')
            spec.size = (p[0] == u'j') ? 8 : kPointerSize, ++p;
        else if (p[0] == u'L')
            ++p;

        const char16_t conv = *p;
        switch (conv)
        {
        case u'd': case u'i': case u'u': case u'x': case u'X': case u'o':
            FormatInteger(out, spec, conv, args.Integer(spec.size));
            break;
        case u'p':
            spec.size = kPointerSize;
            FormatInteger(out, spec, conv, reinterpret_cast<uintptr_t>(args.Pointer()));
            break;
        case u's': case u'S': {
            bool wide = spec.textWidth ? spec.textWidth == 2 : conv == u's';
            FormatString(out, spec, wide, args.Pointer(), rules.narrow);
            break;
        }
        case u'c': case u'C': {
            bool wide = spec.textWidth ? spec.textWidth == 2 : conv == u'c';
            FormatChar(out, spec, wide, args.Integer(4), rules.narrow);
            break;
        }
        case u'f': case u'F': case u'e': case u'E': case u'g': case u'G': case u'a': case u'A':
            if (!rules.floatingPoint)
                goto unknown;
            FormatFloat(out, spec, conv, args.Double());
            break;
        default:
        unknown:
            if (!rules.unknownIsLiteral || !conv)
                return false;
            (void)start;
            out.Put(conv);
            break;
        }
        ++p;
    }
    return true;
}
} // namespace qm::crt
