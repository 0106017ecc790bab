// UTF-16 <-> UTF-8 for handing text between BSTRs and libxml2.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm::msxml
{
// Fails on an unpaired surrogate.
std::optional<std::string> ToUtf8(std::u16string_view text);
// libxml2 hands out valid UTF-8; anything else becomes U+FFFD.
std::u16string ToUtf16(std::string_view text);
} // namespace qm::msxml
