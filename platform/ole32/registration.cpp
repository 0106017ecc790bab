// Writes and removes the HKEY_CLASSES_ROOT entries of in-process servers, and runs a
// server module's own registration the way regsvr32 does.
#include <dlfcn.h>

#include <string>

#include "libloaderapi.h"
#include "qm/com_registration.h"
#include "winbase.h"
#include "winreg.h"

namespace
{
constexpr char kPlatformDomModule[] = "msxml3.so";

std::u16string ClsidKeyPath(REFCLSID clsid)
{
    OLECHAR text[40];
    StringFromGUID2(clsid, text, 40);
    return u"CLSID\\" + std::u16string(text);
}

LSTATUS SetString(HKEY key, LPCWSTR name, std::u16string_view value)
{
    const std::u16string text(value);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

HRESULT FromStatus(LSTATUS status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

HRESULT CallModuleExport(const std::filesystem::path& module, const char* name)
{
    HMODULE handle = LoadLibraryW(module.u16string().c_str());
    if (handle == nullptr)
    {
        const DWORD error = GetLastError();
        return HRESULT_FROM_WIN32(error != 0 ? error : ERROR_MOD_NOT_FOUND);
    }
    auto entry = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
    // The module stays loaded: COM keeps server modules for the life of the process anyway.
    return entry != nullptr ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}
} // namespace

namespace qm
{
HRESULT RegisterInprocServer(REFCLSID clsid, const std::filesystem::path& module, std::u16string_view threadingModel,
                             std::u16string_view description)
{
    if (module.empty())
        return E_INVALIDARG;
    HKEY classKey = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, ClsidKeyPath(clsid).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &classKey, nullptr);
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    if (!description.empty())
        status = SetString(classKey, nullptr, description);
    HKEY serverKey = nullptr;
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExW(classKey, u"InprocServer32", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                 nullptr, &serverKey, nullptr);
    if (status == ERROR_SUCCESS)
    {
        status = SetString(serverKey, nullptr, module.u16string());
        if (status == ERROR_SUCCESS && !threadingModel.empty())
            status = SetString(serverKey, u"ThreadingModel", threadingModel);
        RegCloseKey(serverKey);
    }
    RegCloseKey(classKey);
    return FromStatus(status);
}

HRESULT UnregisterInprocServer(REFCLSID clsid)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKeyPath(clsid).c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

HRESULT RegisterServerModule(const std::filesystem::path& module)
{
    return CallModuleExport(module, "DllRegisterServer");
}

HRESULT UnregisterServerModule(const std::filesystem::path& module)
{
    return CallModuleExport(module, "DllUnregisterServer");
}

std::filesystem::path PlatformServerDirectory()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&PlatformServerDirectory), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return std::filesystem::absolute(info.dli_fname).parent_path();
}

HRESULT RegisterPlatformServers()
{
    return RegisterServerModule(PlatformServerDirectory() / kPlatformDomModule);
}
} // namespace qm
