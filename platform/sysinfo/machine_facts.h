// Reading the machine's facts from its registry.
#pragma once

#include <string>

#include "windef.h"

namespace qm::sysinfo
{
// A REG_SZ value under HKEY_LOCAL_MACHINE; empty when the key or value is missing.
std::u16string MachineText(const char16_t* key, const char16_t* value);
// The native processor architecture (PROCESSOR_ARCHITECTURE_*).
WORD NativeArchitecture();
} // namespace qm::sysinfo
