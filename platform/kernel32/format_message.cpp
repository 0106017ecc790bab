// FormatMessageW / FormatMessageA over the system message table or a caller's string.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../crt/wide_format.h"
#include "message_table.h"
#include "qm/nls.h"
#include "winbase.h"
#include "winnls.h"

namespace
{
using qm::kernel32::MessageLookup;

constexpr DWORD kKnownFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                              FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                              FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_MAX_WIDTH_MASK;

// Insert arguments taken in order from position `next` of the caller's values.
class InsertArgs final : public qm::crt::ArgSource
{
public:
    InsertArgs(const DWORD_PTR* values, size_t count, size_t next) : m_values(values), m_count(count), m_next(next) {}
    unsigned long long Integer(int size) override
    {
        DWORD_PTR v = Take();
        return size == 8 ? v : (v & 0xFFFFFFFFu);
    }
    double Double() override
    {
        DWORD_PTR v = Take();
        double d;
        static_assert(sizeof(d) == sizeof(v));
        std::memcpy(&d, &v, sizeof(d));
        return d;
    }
    const void* Pointer() override { return reinterpret_cast<const void*>(Take()); }

private:
    DWORD_PTR Take() { return m_next < m_count ? m_values[m_next++] : 0; }
    const DWORD_PTR* m_values;
    size_t m_count;
    size_t m_next;
};

struct Request
{
    DWORD flags;
    bool ansi; // FormatMessageA: !s! is a char string
    va_list* vaArgs;
    std::vector<DWORD_PTR> fromVaList;
};

// Reads "%n!fmt!" at p (p at the first digit); returns the insert number, sets fmt and
// advances p past the insert.
int ParseInsert(const char16_t*& p, std::u16string& fmt)
{
    int n = *p++ - u'0';
    if (*p >= u'0' && *p <= u'9')
        n = n * 10 + (*p++ - u'0');
    fmt.clear();
    if (*p == u'!')
    {
        const char16_t* end = p + 1;
        while (*end && *end != u'!')
            ++end;
        if (*end == u'!')
        {
            fmt.assign(p + 1, end);
            p = end + 1;
        }
    }
    return n;
}

// How many arguments an insert consumes beyond its own (the '*' of width and precision).
int StarCount(const std::u16string& fmt)
{
    int stars = 0;
    for (char16_t c : fmt)
        stars += c == u'*';
    return stars;
}

std::u16string PrintfSpec(std::u16string fmt, bool ansi)
{
    if (fmt.empty())
        fmt = u"s";
    const char16_t conv = fmt.back();
    const bool sized = fmt.size() >= 2 && (fmt[fmt.size() - 2] == u'h' || fmt[fmt.size() - 2] == u'l' ||
                                           fmt[fmt.size() - 2] == u'w');
    if (ansi && !sized && (conv == u's' || conv == u'c'))
        fmt.insert(fmt.size() - 1, u"h");
    else if (ansi && !sized && (conv == u'S' || conv == u'C'))
        fmt.insert(fmt.size() - 1, u"l");
    return u"%" + fmt;
}

bool FormatInsert(int number, const std::u16string& fmt, const DWORD_PTR* values, size_t count, bool ansi,
                  std::u16string& out)
{
    InsertArgs args(values, count, static_cast<size_t>(number - 1));
    std::u16string spec = PrintfSpec(fmt, ansi);
    qm::crt::FormatRules rules;
    rules.narrow = qm::crt::NarrowText::AnsiCodePage;
    qm::crt::WideOutput measure;
    if (!qm::crt::FormatWide(spec.c_str(), args, rules, measure))
        return false;
    std::u16string text(measure.count, u'\0');
    InsertArgs again(values, count, static_cast<size_t>(number - 1));
    qm::crt::WideOutput write{text.data(), text.size(), 0};
    qm::crt::FormatWide(spec.c_str(), again, rules, write);
    out += text;
    return true;
}

// Breaks lines longer than width at the last blank (or hard at width), with CR LF.
std::u16string Wrap(const std::u16string& text, size_t width)
{
    std::u16string out;
    size_t lineStart = 0;
    for (char16_t c : text)
    {
        out.push_back(c);
        if (c == u'\n')
        {
            lineStart = out.size();
            continue;
        }
        if (out.size() - lineStart > width)
        {
            size_t blank = out.find_last_of(u' ', out.size() - 1);
            if (blank != std::u16string::npos && blank > lineStart)
            {
                out.replace(blank, 1, u"\r\n");
                lineStart = blank + 2;
            }
            else
            {
                out.insert(out.size() - 1, u"\r\n");
                lineStart = out.size() - 1;
            }
        }
    }
    return out;
}

// Expands the message's escapes and inserts. false with the last error set.
bool Expand(const char16_t* message, Request& req, std::u16string& out)
{
    const DWORD width = req.flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    const bool ignoreInserts = (req.flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    const DWORD_PTR* values = nullptr;
    size_t count = 0;

    if (!ignoreInserts && req.vaArgs)
    {
        if (req.flags & FORMAT_MESSAGE_ARGUMENT_ARRAY)
        {
            values = reinterpret_cast<const DWORD_PTR*>(req.vaArgs);
            count = SIZE_MAX / sizeof(DWORD_PTR);
        }
        else
        {
            // The va_list is read in order, as many values as the highest insert uses.
            size_t needed = 0;
            std::u16string fmt;
            for (const char16_t* p = message; *p; ++p)
            {
                if (*p != u'%')
                    continue;
                if (p[1] >= u'1' && p[1] <= u'9')
                {
                    const char16_t* q = p + 1;
                    int n = ParseInsert(q, fmt);
                    needed = std::max<size_t>(needed, n + StarCount(fmt));
                    p = q - 1;
                }
                else if (p[1])
                    ++p;
            }
            for (size_t i = 0; i < needed; ++i)
                req.fromVaList.push_back(va_arg(*req.vaArgs, DWORD_PTR));
            values = req.fromVaList.data();
            count = req.fromVaList.size();
        }
    }

    for (const char16_t* p = message; *p;)
    {
        const char16_t c = *p;
        if (c == u'\r' || c == u'\n')
        {
            const size_t len = (c == u'\r' && p[1] == u'\n') ? 2 : 1;
            if (width == 0)
                out.append(p, len);
            else
                out.push_back(u' ');
            p += len;
            continue;
        }
        if (c != u'%')
        {
            out.push_back(c);
            ++p;
            continue;
        }
        const char16_t e = p[1];
        if (e == 0 || e == u'0')
            break; // %0 ends the message without a line break
        if (e >= u'1' && e <= u'9')
        {
            const char16_t* start = p;
            ++p;
            std::u16string fmt;
            int number = ParseInsert(p, fmt);
            if (ignoreInserts)
            {
                out.append(start, p);
                continue;
            }
            if (!values)
            {
                SetLastError(ERROR_INVALID_PARAMETER);
                return false;
            }
            if (static_cast<size_t>(number) > count || !FormatInsert(number, fmt, values, count, req.ansi, out))
            {
                SetLastError(ERROR_INVALID_PARAMETER);
                return false;
            }
            continue;
        }
        switch (e)
        {
        case u'n': out += u"\r\n"; break;
        case u'r': out += u'\r'; break;
        case u't': out += u'\t'; break;
        default: out += e; break; // %% %. %! and "% " stand for the character itself
        }
        p += 2;
    }
    if (width != 0 && width != FORMAT_MESSAGE_MAX_WIDTH_MASK)
        out = Wrap(out, width);
    return true;
}

bool LookUp(DWORD id, DWORD languageId, std::u16string& message)
{
    if (languageId == 0)
    {
        bool exists = false;
        for (LANGID lang : qm::UiLanguageFallbacks())
        {
            MessageLookup r = qm::kernel32::FindSystemMessage(id, lang, message);
            if (r == MessageLookup::Found)
                return true;
            exists = exists || r == MessageLookup::NoSuchLanguage;
        }
        SetLastError(exists ? ERROR_RESOURCE_LANG_NOT_FOUND : ERROR_MR_MID_NOT_FOUND);
        return false;
    }
    const LANGID lang = qm::ResolveLanguageId(static_cast<LANGID>(languageId));
    switch (qm::kernel32::FindSystemMessage(id, lang, message))
    {
    case MessageLookup::Found:
        return true;
    case MessageLookup::NoSuchLanguage:
        SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
        return false;
    default:
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return false;
    }
}

// The formatted text in UTF-16, or false with the last error set.
bool Compose(DWORD flags, const std::u16string* fromString, DWORD id, DWORD languageId, va_list* args, bool ansi,
             std::u16string& out)
{
    if (flags & ~kKnownFlags)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::u16string message;
    if (flags & FORMAT_MESSAGE_FROM_STRING)
    {
        if (!fromString || (flags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE)))
        {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        message = *fromString;
    }
    else if (flags & FORMAT_MESSAGE_FROM_SYSTEM)
    {
        // Modules carry no message tables here: FROM_HMODULE | FROM_SYSTEM reaches the system's.
        if (!LookUp(id, languageId, message))
            return false;
    }
    else if (flags & FORMAT_MESSAGE_FROM_HMODULE)
    {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    else
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Request req{flags, ansi, args, {}};
    return Expand(message.c_str(), req, out);
}

template <typename Char>
DWORD Deliver(DWORD flags, const std::basic_string<Char>& text, Char* lpBuffer, DWORD nSize)
{
    const size_t need = text.size() + 1;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
    {
        auto** slot = reinterpret_cast<Char**>(lpBuffer);
        const size_t chars = std::max<size_t>(need, nSize);
        auto* block = static_cast<Char*>(LocalAlloc(LMEM_FIXED, chars * sizeof(Char)));
        if (!block)
        {
            *slot = nullptr;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(block, text.c_str(), need * sizeof(Char));
        *slot = block;
        return static_cast<DWORD>(text.size());
    }
    if (need > nSize)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpBuffer, text.c_str(), need * sizeof(Char));
    return static_cast<DWORD>(text.size());
}
} // namespace

DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                     DWORD nSize, va_list* Arguments)
{
    if (!lpBuffer)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
        *reinterpret_cast<LPWSTR*>(lpBuffer) = nullptr;
    std::u16string source;
    if ((dwFlags & FORMAT_MESSAGE_FROM_STRING) && lpSource)
        source = static_cast<const char16_t*>(lpSource);
    std::u16string text;
    if (!Compose(dwFlags, lpSource ? &source : nullptr, dwMessageId, dwLanguageId, Arguments, false, text))
        return 0;
    return Deliver(dwFlags, text, lpBuffer, nSize);
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                     DWORD nSize, va_list* Arguments)
{
    if (!lpBuffer)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
        *reinterpret_cast<LPSTR*>(lpBuffer) = nullptr;
    std::u16string source;
    if ((dwFlags & FORMAT_MESSAGE_FROM_STRING) && lpSource)
    {
        auto* narrow = static_cast<const char*>(lpSource);
        int n = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
        if (n > 0)
        {
            source.resize(n);
            MultiByteToWideChar(CP_ACP, 0, narrow, -1, source.data(), n);
            source.resize(n - 1);
        }
    }
    std::u16string wide;
    if (!Compose(dwFlags, lpSource ? &source : nullptr, dwMessageId, dwLanguageId, Arguments, true, wide))
        return 0;
    std::string text;
    if (!wide.empty())
    {
        int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        text.resize(n > 0 ? n : 0);
        if (n > 0)
            WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    }
    return Deliver(dwFlags, text, lpBuffer, nSize);
}
