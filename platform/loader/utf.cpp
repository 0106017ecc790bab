#include "utf.h"

#include "qm/utf.h"

namespace qm::loader
{
std::u16string Utf8ToUtf16(std::string_view text)
{
    return utf::Utf8ToUtf16(text);
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    return utf::Utf16ToUtf8(text);
}

size_t Utf16Length(const char16_t* text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

char16_t AsciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}
} // namespace qm::loader
