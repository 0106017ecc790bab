// CoGetClassObject / CoCreateInstance for in-process servers: the module named by
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 is loaded and asked for its class factory.
// Server modules stay loaded for the life of the process, so objects never outlive their code.
#include <string>

#include "apartment.h"
#include "class_objects.h"
#include "global_interface_table.h"
#include "libloaderapi.h"
#include "objbase.h"
#include "winbase.h"
#include "winreg.h"

namespace
{
// The module path registered for the class, or REGDB_E_CLASSNOTREG.
HRESULT InprocServerPath(REFCLSID clsid, std::u16string& path)
{
    OLECHAR text[40];
    StringFromGUID2(clsid, text, 40);
    const std::u16string subKey = u"CLSID\\" + std::u16string(text) + u"\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    DWORD type = 0;
    DWORD bytes = 0;
    LSTATUS status = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(WCHAR))
    {
        std::u16string value(bytes / sizeof(WCHAR), u'\0');
        status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(value.data()), &bytes);
        value.resize(bytes / sizeof(WCHAR));
        while (!value.empty() && value.back() == 0)
            value.pop_back();
        path = status == ERROR_SUCCESS ? value : std::u16string();
    }
    RegCloseKey(key);
    return path.empty() ? REGDB_E_CLASSNOTREG : S_OK;
}

HRESULT ClassObjectFromModule(const std::u16string& path, REFCLSID clsid, REFIID riid, LPVOID* ppv)
{
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr)
    {
        const DWORD error = GetLastError();
        return HRESULT_FROM_WIN32(error != 0 ? error : ERROR_MOD_NOT_FOUND);
    }
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (getClassObject == nullptr)
        return CO_E_ERRORINDLL;
    const HRESULT hr = getClassObject(clsid, riid, ppv);
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}
} // namespace

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO* pServerInfo, REFIID riid,
                                LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (!qm::com::IsThreadInitialised())
        return CO_E_NOTINITIALIZED;
    if (pServerInfo != nullptr)
        return E_INVALIDARG;
    HRESULT registered = S_OK;
    if (qm::com::RegisteredClassObject(rclsid, dwClsContext & CLSCTX_LOCAL_SERVER, riid, ppv, &registered))
        return registered;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    // The system's own in-process classes need no registration on the machine.
    if (qm::com::BuiltinClassObject(rclsid, riid, ppv, &registered))
        return registered;
    std::u16string path;
    const HRESULT hr = InprocServerPath(rclsid, path);
    if (FAILED(hr))
        return hr;
    return ClassObjectFromModule(path, rclsid, riid, ppv);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_INVALIDARG;
    *ppv = nullptr;
    // An outer object may only ask for the inner object's own IUnknown.
    if (pUnkOuter != nullptr && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}
