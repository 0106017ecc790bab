#include "utf.h"

#include "qm/utf.h"

namespace qm::msxml
{
std::optional<std::string> ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (size_t i = 0; i < text.size();)
    {
        char32_t c = utf::NextUtf16(text, i);
        if (utf::IsSurrogate(c))
            return std::nullopt;
        utf::AppendUtf8(out, c);
    }
    return out;
}

std::u16string ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size())
    {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool valid = extra >= 0 && i + extra < text.size();
        for (int k = 1; valid && k <= extra; ++k)
        {
            const auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80)
                valid = false;
            c = (c << 6) | (cont & 0x3F);
        }
        if (!valid || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        i += extra + 1;
        utf::AppendUtf16(out, c);
    }
    return out;
}
} // namespace qm::msxml
