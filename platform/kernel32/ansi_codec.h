// Conversions for the ANSI and OEM code pages through iconv. Internal to kernel32.
#pragma once

#include <string>

#include "windef.h"

namespace qm::kernel32
{
bool IsIconvCodePage(UINT codePage);

// Bytes Windows' table maps become that character; other undecodable bytes become '?' (one
// per byte), or with strict the call fails.
// false with strict on bad input; throws nothing.
bool DecodeAnsi(UINT codePage, const char* in, size_t len, bool strict, std::u16string& out);

// Characters the code page lacks become their best fit (unless noBestFit), else defaultChar,
// one for each UTF-16 unit; *usedDefault is set when a default was written.
bool EncodeAnsi(UINT codePage, const char16_t* in, size_t len, const std::string& defaultChar, bool noBestFit,
                std::string& out, bool* usedDefault);
} // namespace qm::kernel32
