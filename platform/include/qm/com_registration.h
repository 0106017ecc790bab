// Registration of in-process COM servers in the machine's registry, as regsvr32 and a
// server's DllRegisterServer do on Windows. Writes go to HKEY_CLASSES_ROOT, so they need an
// elevated process (HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) otherwise).
#pragma once

#include <filesystem>
#include <string_view>

#include "../objbase.h"

namespace qm
{
// HKCR\CLSID\{clsid} (default value: description, when given) and its InprocServer32 key
// (default value: the module's path; ThreadingModel, when given).
QMEXPORT HRESULT RegisterInprocServer(REFCLSID clsid, const std::filesystem::path& module,
                                      std::u16string_view threadingModel, std::u16string_view description = {});
// Removes HKCR\CLSID\{clsid} with its subkeys; S_OK when it was not there.
QMEXPORT HRESULT UnregisterInprocServer(REFCLSID clsid);

// Loads the server module and calls its DllRegisterServer (or DllUnregisterServer).
QMEXPORT HRESULT RegisterServerModule(const std::filesystem::path& module);
QMEXPORT HRESULT UnregisterServerModule(const std::filesystem::path& module);

// The COM servers the platform ships (the MSXML DOM document), in the directory that holds
// the platform library itself.
QMEXPORT std::filesystem::path PlatformServerDirectory();
QMEXPORT HRESULT RegisterPlatformServers();
} // namespace qm
