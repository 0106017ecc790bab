// The ANSI (A) forms of the loader's functions convert through the machine's code page.
#pragma once

#include <optional>
#include <string>

#include "windef.h"

namespace qm::loader
{
// NULL stays nullopt. Text that does not convert yields nullopt.
std::optional<std::u16string> AnsiToUtf16(LPCSTR text);
std::string Utf16ToAnsi(std::u16string_view text);
} // namespace qm::loader
