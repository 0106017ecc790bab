// Serialises resources into the directory blob of qm/resource_format.h and writes the C++
// source that places it in the module's "qm_rsrc" section and registers it at load.
#pragma once

#include <string>
#include <vector>

#include "model.h"

namespace qm::rc
{
std::vector<uint8_t> BuildBlob(std::vector<Resource> resources);
std::string GenerateSource(const std::vector<uint8_t>& blob, const std::string& scriptName);
} // namespace qm::rc
