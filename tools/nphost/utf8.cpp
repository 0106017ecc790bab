#include "utf8.h"

#include <cstdint>
#include <cstring>

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

size_t AsciiPrefix(std::string_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    const char* p = text.data();
    // Thirty-two bytes at a time: large texts are mostly ASCII.
    for (; n - i >= 32; i += 32)
    {
        uint64_t rgw[4];
        std::memcpy(rgw, p + i, 32);
        if ((rgw[0] | rgw[1] | rgw[2] | rgw[3]) & 0x8080808080808080ULL)
            break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
        ++i;
    return i;
}

namespace
{
// ASCII runs are the same in both forms and are copied as they are; the rest goes through
// the code points.
template <typename Sink> void Convert(std::string_view text, std::string& out, Sink sink)
{
    out.reserve(text.size());
    while (!text.empty())
    {
        size_t run = AsciiPrefix(text);
        out.append(text.data(), run);
        text.remove_prefix(run);
        // Up to the next ASCII byte (a lead byte never is one).
        size_t end = 0;
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80)
            ++end;
        ForEachCodePoint(text.substr(0, end), sink);
        text.remove_prefix(end);
    }
}
} // namespace

std::string CesuToUtf8(std::string_view text)
{
    std::string out;
    Convert(text, out, [&](char32_t cp) { Encode(cp, out); });
    return out;
}

std::string Utf8ToCesu(std::string_view text)
{
    std::string out;
    Convert(text, out, [&](char32_t cp) {
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
