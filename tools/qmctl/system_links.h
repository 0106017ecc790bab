// The machine's system folder (C:\Windows\System32), where a Windows library name is
// linked to the library that stands in for it.
#pragma once

#include <filesystem>
#include <string>

namespace qmctl
{
// A library built beside qmctl (<bin>/../lib/<file>).
std::filesystem::path BuiltLibrary(const std::string& file);
// Links System32\<windowsName> to target, replacing an older link; "" or an error text.
std::string LinkSystemLibrary(const std::string& windowsName, const std::filesystem::path& target);
} // namespace qmctl
