// Provider entries of the registry, written as Windows' installers write them.
#include <cstdio>

#include "qm/csp_registration.h"
#include "qm/csp_spi.h"
#include "winreg.h"

namespace qm
{
namespace
{
LONG SetString(HKEY key, const char16_t* name, const std::u16string& value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD((value.size() + 1) * sizeof(char16_t)));
}

std::u16string Sub(const char16_t* root, const std::u16string& name)
{
    return std::u16string(root) + u"\\" + name;
}
} // namespace

LONG RegisterCryptProvider(const std::u16string& name, const std::u16string& imagePath, DWORD type)
{
    HKEY key = nullptr;
    LONG st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Sub(QM_CSP_PROVIDER_KEY, name).c_str(), 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (st != ERROR_SUCCESS)
        return st;
    st = SetString(key, u"Image Path", imagePath);
    if (st == ERROR_SUCCESS)
        st = RegSetValueExW(key, u"Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type),
                            sizeof type);
    DWORD signature = 0;
    if (st == ERROR_SUCCESS)
        st = RegSetValueExW(key, u"SigInFile", 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&signature), sizeof signature);
    RegCloseKey(key);
    return st;
}

LONG UnregisterCryptProvider(const std::u16string& name)
{
    return RegDeleteTreeW(HKEY_LOCAL_MACHINE, Sub(QM_CSP_PROVIDER_KEY, name).c_str());
}

LONG SetDefaultCryptProvider(DWORD type, const std::u16string& name, const std::u16string& typeName)
{
    char sub[32];
    std::snprintf(sub, sizeof sub, "Type %03u", unsigned(type));
    std::u16string typeKey(sub, sub + std::char_traits<char>::length(sub));
    HKEY key = nullptr;
    LONG st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Sub(QM_CSP_PROVIDER_TYPES_KEY, typeKey).c_str(),
                              0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (st != ERROR_SUCCESS)
        return st;
    st = SetString(key, u"Name", name);
    if (st == ERROR_SUCCESS)
        st = SetString(key, u"TypeName", typeName);
    RegCloseKey(key);
    return st;
}

LONG RegisterPlatformCryptProviders(const std::u16string& imagePath)
{
    const struct
    {
        const char16_t* name;
        DWORD type;
    } providers[] = {
        {MS_DEF_PROV_W, PROV_RSA_FULL},
        {MS_ENHANCED_PROV_W, PROV_RSA_FULL},
        {MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES},
        {MS_STRONG_PROV_W, PROV_RSA_FULL},
    };
    for (const auto& p : providers)
        if (LONG st = RegisterCryptProvider(p.name, imagePath, p.type); st != ERROR_SUCCESS)
            return st;
    if (LONG st = SetDefaultCryptProvider(PROV_RSA_FULL, MS_STRONG_PROV_W,
                                          u"RSA Full (Signature and Key Exchange)"))
        return st;
    return SetDefaultCryptProvider(PROV_RSA_AES, MS_ENH_RSA_AES_PROV_W, u"RSA Full and AES");
}
} // namespace qm
