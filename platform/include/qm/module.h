// Loader services used by code that the build generates into libraries and programs
// (cmake/QmResources.cmake): resource directories and the DllMain entry.
#pragma once

#include <cstddef>

#include "../windef.h"

namespace qm
{
// The module (load address) that contains the address, or NULL.
QMEXPORT HMODULE ModuleFromAddress(const void* address);

// Makes a compiled resource directory (qm/resource_format.h) the resources of the module
// that contains `anchor`. Called by generated code before the module's other initialisers;
// unregistered when the module is unloaded.
QMEXPORT void RegisterModuleResources(const void* anchor, const unsigned char* blob, size_t size);
QMEXPORT void UnregisterModuleResources(const unsigned char* blob);

using DllEntryProc = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
// Called by the DllMain glue of a library at load and unload. A FALSE result of the attach
// call makes the LoadLibraryW that loads the library fail with ERROR_DLL_INIT_FAILED.
QMEXPORT void RunDllEntry(const void* anchor, DllEntryProc entry, DWORD reason);
} // namespace qm
