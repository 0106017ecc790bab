// Language choice for resource and message lookups, shared by the components that load text.
#pragma once

#include <vector>

#include "../windef.h"

namespace qm
{
// The languages to try, in order, for a lookup "in the thread's language" (language 0):
// the thread's UI language, its primary language with SUBLANG_NEUTRAL, the user's and the
// system's UI language (when different), LANG_NEUTRAL (0), en-US (0x0409), English neutral
// (0x0009). No duplicates. A caller that finds none of these may still take any language
// it has, as the Windows resource loader does.
QMEXPORT std::vector<LANGID> UiLanguageFallbacks();

// Resolves the special language ids of the Windows API for an explicit lookup:
// MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT) (0x0400) = the thread's UI language,
// MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT) (0x0800) = the system's; others unchanged.
QMEXPORT LANGID ResolveLanguageId(LANGID lang);

// The machine's NLS settings are read once per machine directory (as Windows reads them at
// boot). Tests that change them on a machine already in use call this.
QMEXPORT void ReloadNlsSettings();
} // namespace qm
