#include "utf8.h"

#include <cstdint>

#include "qm/utf.h"

namespace nphost
{
namespace
{
using qm::utf::IsHighSurrogate;
using qm::utf::IsLowSurrogate;
using qm::utf::kReplacement;

// One sequence (surrogates allowed); advances pos. Bad input yields U+FFFD and consumes
// one byte.
char32_t Decode(std::string_view text, size_t& pos)
{
    char32_t cp = 0;
    size_t length = qm::utf::DecodeUtf8(text, pos, &cp);
    pos += length ? length : 1;
    return length ? cp : kReplacement;
}

void Encode(char32_t cp, std::string& out)
{
    qm::utf::AppendUtf8(out, cp);
}

// Code points of a text in either form, with surrogate pairs joined.
template <typename Sink> void ForEachCodePoint(std::string_view text, Sink sink)
{
    size_t pos = 0;
    while (pos < text.size())
    {
        char32_t cp = Decode(text, pos);
        if (IsHighSurrogate(cp))
        {
            size_t after = pos;
            char32_t low = after < text.size() ? Decode(text, after) : 0;
            if (IsLowSurrogate(low))
            {
                pos = after;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            else
                cp = kReplacement;
        }
        else if (IsLowSurrogate(cp))
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
    return qm::utf::Utf16ToUtf8(text);
}
} // namespace nphost
