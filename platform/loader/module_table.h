// The modules loaded in this process, seen the way Windows sees them: a module is identified
// by its load address (the mapping of its first segment).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm::loader
{
struct ModuleInfo
{
    uintptr_t base = 0;
    std::string path;   // absolute path of the file
    bool isProgram = false;
};

std::vector<ModuleInfo> LoadedModules();
std::optional<ModuleInfo> ModuleContaining(const void* address);
std::optional<ModuleInfo> ModuleAt(uintptr_t base);
ModuleInfo ProgramModule();
// A module by file name (no case, ".so" tried for a name without extension, ".dll" read as
// ".so") or by path.
std::optional<ModuleInfo> ModuleNamed(const std::string& name);
// Adds one reference to a loaded module (as LoadLibrary would), or pins it for the process.
bool AddModuleReference(const ModuleInfo& module, bool pin);
// Candidate file names for a Windows-style library name, most literal first.
std::vector<std::string> LibraryFileNames(const std::string& name);
} // namespace qm::loader
