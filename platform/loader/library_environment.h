// What a library linked into the machine's system folder needs from the environment before
// it starts.
#pragma once

#include <filesystem>

namespace qm::loader
{
// Called before a library of the machine's system folder is loaded from file.
void PrepareSystemLibrary(const std::filesystem::path& file);
} // namespace qm::loader
