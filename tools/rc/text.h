// String literals of a script: escapes (\n \r \t \\ \" \0 \ooo \xhh, "" for a quote) and
// UTF-8 source text turned into UTF-16 or bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "token.h"

namespace qm::rc
{
std::u16string DecodeText(const Token& literal);
// A narrow literal as bytes (UTF-8 text, \x escapes as single bytes); wide literals as UTF-16LE.
std::vector<uint8_t> DecodeBytes(const Token& literal);
std::u16string Utf8ToUtf16(const std::string& text, const SourceLocation& where);
std::string Utf16ToUtf8(const std::u16string& text);
} // namespace qm::rc
