// Resource lookup in one loaded module (NULL: the program).
#pragma once

#include "resource_directory.h"

namespace qm::loader
{
Found FindInModule(HMODULE hModule, const ResourceKey& type, const ResourceKey& name,
                   std::optional<LANGID> exactLanguage);
} // namespace qm::loader
