#include "text.h"

#include "qm/utf.h"

namespace qm::advapi
{
std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        utf::AppendUtf8(out, utf::NextUtf16(text, i));
    return out;
}

std::u16string FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size())
    {
        unsigned char b = text[i];
        char32_t c;
        size_t n;
        if (b < 0x80)
            c = b, n = 1;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, n = 2;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, n = 3;
        else if ((b & 0xF8) == 0xF0)
            c = b & 0x07, n = 4;
        else
            c = 0xFFFD, n = 1;
        if (n > 1)
        {
            if (i + n > text.size())
            {
                out += u'\xFFFD';
                break;
            }
            for (size_t k = 1; k < n; ++k)
                c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += n;
        utf::AppendUtf16(out, c);
    }
    return out;
}

char16_t UpperChar(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return char16_t(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F)
    {
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c : char16_t(c - 1);
        if (c == 0x130 || c == 0x178)
            return c;
        return (c & 1) ? char16_t(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return char16_t(c - 0x20);
    if (c >= 0x430 && c <= 0x44F)
        return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return char16_t(c - 0x50);
    return c;
}

std::u16string UpperCase(std::u16string_view text)
{
    std::u16string out(text);
    for (auto& c : out)
        c = UpperChar(c);
    return out;
}

size_t Length16(const char16_t* text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}
} // namespace qm::advapi
