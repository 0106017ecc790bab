// Text conversions at the host's edges: Duktape keeps strings in CESU-8 (characters beyond
// U+FFFF as two encoded surrogates), NPAPI wants UTF-8, the version API UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace nphost
{
// Length of the leading run of ASCII bytes, which read the same in every form.
size_t AsciiPrefix(std::string_view text);
// Surrogate pairs become one 4-byte sequence; lone surrogates and bad bytes U+FFFD.
std::string CesuToUtf8(std::string_view text);
// 4-byte sequences become surrogate pairs; bad bytes U+FFFD.
std::string Utf8ToCesu(std::string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
} // namespace nphost
