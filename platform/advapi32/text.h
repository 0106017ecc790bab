// Text helpers shared by the registry and tracing: UTF-16 <-> UTF-8 and the registry's
// case folding. Lossless for unpaired surrogates (encoded as three-byte sequences).
#pragma once

#include <string>
#include <string_view>

namespace qm::advapi
{
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Upper-cases the way the registry compares names: ASCII, Latin-1, Latin Extended-A,
// basic Greek and Cyrillic.
char16_t UpperChar(char16_t c);
std::u16string UpperCase(std::u16string_view text);

// Length of a NUL-terminated UTF-16 string.
size_t Length16(const char16_t* text);
} // namespace qm::advapi
