// The machine's NLS settings as kernel32 reads them. Internal to kernel32.
#pragma once

#include "windef.h"

namespace qm::kernel32
{
struct NlsSettings
{
    UINT ansiCodePage = 936;
    UINT oemCodePage = 936;
    LANGID uiLanguage = 0x0409;
};

NlsSettings MachineNlsSettings();
} // namespace qm::kernel32
