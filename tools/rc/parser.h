// The statements of a resource script: LANGUAGE, STRINGTABLE, VERSIONINFO, RCDATA and
// resources of any type from files or inline data, DIALOG and DIALOGEX templates.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "model.h"
#include "preprocessor.h"

namespace qm::rc
{
struct CompiledScript
{
    std::vector<Resource> resources;
    std::vector<std::filesystem::path> dependencies; // the script, its includes and data files
};

// Throw RcError ("file:line: error: ...") for any fault of the script.
CompiledScript CompileFile(const std::filesystem::path& script, const CompileOptions& options);
// `fileName` names the text in messages; relative data files are looked up from its folder.
CompiledScript CompileText(std::string_view text, const std::string& fileName, const CompileOptions& options);
} // namespace qm::rc
