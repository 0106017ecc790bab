// Reading one section of a library or program file without loading it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windef.h"

namespace qm::loader
{
struct SectionRead
{
    DWORD error = 0; // ERROR_FILE_NOT_FOUND, ERROR_BAD_FORMAT, ERROR_RESOURCE_DATA_NOT_FOUND
    std::vector<uint8_t> bytes;
};

SectionRead ReadElfSection(const std::string& path, const std::string& sectionName);
} // namespace qm::loader
