// Conversions for the ANSI and OEM code pages through iconv. Internal to kernel32.
#pragma once

#include <string>

#include "windef.h"

namespace qm::kernel32
{
bool IsIconvCodePage(UINT codePage);

// Undecodable bytes become '?' (one per byte); with strict the call fails.
// false with strict on bad input; throws nothing.
bool DecodeAnsi(UINT codePage, const char* in, size_t len, bool strict, std::u16string& out);

// Characters the code page lacks become defaultChar; *usedDefault is set when that happened.
bool EncodeAnsi(UINT codePage, const char16_t* in, size_t len, const std::string& defaultChar, std::string& out,
                bool* usedDefault);
} // namespace qm::kernel32
