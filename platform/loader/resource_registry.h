// The resource directories of the loaded modules, registered by their generated code.
#pragma once

#include <cstdint>
#include <vector>

#include "resource_directory.h"

namespace qm::loader
{
// A copy of the module's directories (views into its read-only data); empty when it has
// none. `known` tells whether any directory was registered for that module.
std::vector<ResourceDirectory> ModuleResources(uintptr_t base, bool* known);
// The directory holding an HRSRC of any module, or nullptr.
std::optional<ResourceDirectory> DirectoryHolding(const void* entry);
} // namespace qm::loader
