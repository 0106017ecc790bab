#include "utf8.h"

#include <cstdint>

namespace nphost
{
namespace
{
constexpr char32_t kReplacement = 0xFFFD;

// Decodes one sequence (up to 4 bytes, surrogates allowed); advances pos. Bad input
// yields U+FFFD and consumes one byte.
char32_t Decode(std::string_view text, size_t& pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80)
    {
        ++pos;
        return lead;
    }
    size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0)
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    else
    {
        ++pos;
        return kReplacement;
    }
    if (pos + length > text.size())
    {
        ++pos;
        return kReplacement;
    }
    for (size_t i = 1; i < length; ++i)
    {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
        {
            ++pos;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF)
    {
        ++pos;
        return kReplacement;
    }
    pos += length;
    return cp;
}

bool IsHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void Encode(char32_t cp, std::string& out)
{
    if (cp < 0x80)
        out += char(cp);
    else if (cp < 0x800)
    {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
    else
    {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Code points of a text in either form, with surrogate pairs joined.
template <typename Sink> void ForEachCodePoint(std::string_view text, Sink sink)
{
    size_t pos = 0;
    while (pos < text.size())
    {
        char32_t cp = Decode(text, pos);
        if (IsHigh(cp))
        {
            size_t after = pos;
            char32_t low = after < text.size() ? Decode(text, after) : 0;
            if (IsLow(low))
            {
                pos = after;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            else
                cp = kReplacement;
        }
        else if (IsLow(cp))
            cp = kReplacement;
        sink(cp);
    }
}
} // namespace

std::string CesuToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t cp) { Encode(cp, out); });
    return out;
}

std::string Utf8ToCesu(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t cp) {
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            Encode(0xD800 + (cp >> 10), out);
            Encode(0xDC00 + (cp & 0x3FF), out);
        }
        else
            Encode(cp, out);
    });
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    ForEachCodePoint(text, [&](char32_t cp) {
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        }
        else
            out += char16_t(cp);
    });
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        char32_t cp = text[i];
        if (IsHigh(cp) && i + 1 < text.size() && IsLow(text[i + 1]))
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (IsHigh(cp) || IsLow(cp))
            cp = kReplacement;
        Encode(cp, out);
    }
    return out;
}
} // namespace nphost
