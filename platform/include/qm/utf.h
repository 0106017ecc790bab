// UTF-8 and UTF-16 for the stand-in's own modules and tools (the code pages of
// MultiByteToWideChar live in kernel32). Header-only: the provider and COM modules carry
// their own copy without linking the platform library's internals.
#pragma once

#include <string>
#include <string_view>

namespace qm::utf
{
constexpr char32_t kReplacement = 0xFFFD;

constexpr bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Any value below 0x110000, surrogates included, in one to four bytes.
inline void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80)
        out += char(c);
    else if (c < 0x800)
    {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    else
    {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Above U+FFFF as a surrogate pair.
inline void AppendUtf16(std::u16string& out, char32_t c)
{
    if (c >= 0x10000)
    {
        c -= 0x10000;
        out += char16_t(0xD800 + (c >> 10));
        out += char16_t(0xDC00 + (c & 0x3FF));
    }
    else
        out += char16_t(c);
}

// The code point at text[i], a surrogate pair joined; a lone surrogate comes back as it
// is. Moves i past it.
inline char32_t NextUtf16(std::u16string_view text, size_t& i)
{
    char32_t c = text[i++];
    if (IsHighSurrogate(c) && i < text.size() && IsLowSurrogate(text[i]))
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    return c;
}

// The length of the well-formed sequence at text[pos] and its value in *cp; 0 for a bad
// lead or continuation byte, a cut-off sequence, an overlong form or a value past
// U+10FFFF. Encoded surrogates decode as they are; the caller decides about them.
inline size_t DecodeUtf8(std::string_view text, size_t pos, char32_t* cp)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t length = 0;
    char32_t c = 0, minimum = 0;
    if (lead < 0x80)
    {
        *cp = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0)
        length = 2, c = lead & 0x1F, minimum = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, c = lead & 0x0F, minimum = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, c = lead & 0x07, minimum = 0x10000;
    else
        return 0;
    if (pos + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
    {
        const auto next = static_cast<unsigned char>(text[pos + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF)
        return 0;
    *cp = c;
    return length;
}

// Invalid input (a lone surrogate; a byte that starts no well-formed sequence, or an encoded
// surrogate) becomes U+FFFD, one for each bad unit or byte.
inline std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        char32_t c = NextUtf16(text, i);
        AppendUtf8(out, IsSurrogate(c) ? kReplacement : c);
    }
    return out;
}

inline std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        char32_t c = 0;
        size_t length = DecodeUtf8(text, i, &c);
        if (length == 0 || IsSurrogate(c))
        {
            out += char16_t(kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, c);
        i += length;
    }
    return out;
}
} // namespace qm::utf
