// Where Windows' tables for a code page differ from the one iconv has: characters Windows
// reads for bytes iconv refuses, and the bytes it writes for characters iconv cannot encode.
// Internal to kernel32.
#pragma once

#include <cstddef>
#include <string>

#include "windef.h"

namespace qm::kernel32
{
// The character Windows reads for the bytes at the start of in (of len bytes), which iconv
// refused; *used is the number of bytes it takes. false when Windows has none either.
bool WindowsDecoding(UINT codePage, const char* in, size_t len, char16_t* out, size_t* used);

// The bytes Windows writes for a character iconv cannot encode: its own mapping, or with
// bestFit also the best-fit one. Empty when there is none.
std::string WindowsEncoding(UINT codePage, char16_t c, bool bestFit);
} // namespace qm::kernel32
