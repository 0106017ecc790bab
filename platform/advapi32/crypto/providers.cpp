// The provider key of the registry, read as Windows reads it.
#include <cstdio>

#include "dispatch.h"
#include "winbase.h"
#include "winreg.h"

namespace qm::crypto
{
namespace
{
std::optional<std::u16string> ReadString(HKEY key, const char16_t* name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::u16string value(size / sizeof(char16_t) + 1, u'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(size / sizeof(char16_t));
    while (!value.empty() && value.back() == u'\0')
        value.pop_back();
    return value;
}

std::optional<DWORD> ReadDword(HKEY key, const char16_t* name)
{
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

std::optional<ProviderEntry> ReadEntry(HKEY providers, const std::u16string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(providers, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    ProviderEntry entry;
    entry.name = name;
    auto image = ReadString(key, u"Image Path");
    auto type = ReadDword(key, u"Type");
    RegCloseKey(key);
    if (!image || !type)
        return std::nullopt;
    entry.imagePath = *image;
    entry.type = *type;
    return entry;
}
} // namespace

DWORD RegisteredProviders(std::vector<ProviderEntry>& result)
{
    result.clear();
    HKEY providers = nullptr;
    LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, QM_CSP_PROVIDER_KEY, 0, KEY_READ, &providers);
    if (st == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (st != ERROR_SUCCESS)
        return DWORD(st);
    for (DWORD i = 0;; ++i)
    {
        char16_t name[512];
        DWORD length = 512;
        st = RegEnumKeyExW(providers, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (st != ERROR_SUCCESS)
            break;
        // A provider without image path or type still takes its index, as on Windows.
        ProviderEntry entry;
        entry.name.assign(name, length);
        if (auto read = ReadEntry(providers, entry.name))
            entry = *read;
        result.push_back(entry);
    }
    RegCloseKey(providers);
    if (st == ERROR_NO_MORE_ITEMS)
        return ERROR_SUCCESS;
    result.clear();
    return DWORD(st);
}

std::optional<ProviderEntry> FindProvider(const std::u16string& name)
{
    HKEY providers = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, QM_CSP_PROVIDER_KEY, 0, KEY_READ, &providers) !=
        ERROR_SUCCESS)
        return std::nullopt;
    auto entry = ReadEntry(providers, name);
    RegCloseKey(providers);
    return entry;
}

std::optional<std::u16string> DefaultProviderName(DWORD type)
{
    char sub[32];
    std::snprintf(sub, sizeof sub, "Type %03u", unsigned(type));
    std::u16string path = QM_CSP_PROVIDER_TYPES_KEY;
    path += u'\\';
    for (const char* p = sub; *p; ++p)
        path += char16_t(*p);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    auto name = ReadString(key, u"Name");
    RegCloseKey(key);
    return name;
}
} // namespace qm::crypto
