// UTF-8 <-> UTF-16 for file paths and names inside the loader. Invalid input becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace qm::loader
{
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Length of a NUL-terminated UTF-16 string.
size_t Utf16Length(const char16_t* text);
// ASCII upper case, as resource names are compared.
char16_t AsciiUpper(char16_t c);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
} // namespace qm::loader
