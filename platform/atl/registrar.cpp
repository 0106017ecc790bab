// AtlUpdateRegistryFromResourceD: the registrar applied to a REGISTRY resource.
#include <string>

#include "atlbase.h"
#include "crtwide.h"
#include "libloaderapi.h"
#include "registrar_script.h"
#include "resource_text.h"
#include "winbase.h"
#include "winreg.h"

namespace qm::atl
{
namespace
{
bool Absent(LSTATUS st) { return st == ERROR_FILE_NOT_FOUND || st == ERROR_PATH_NOT_FOUND; }

HKEY RootKey(const std::u16string& name)
{
    auto is = [&](const char16_t* a) { return _wcsicmp(name.c_str(), a) == 0; };
    if (is(u"HKCR") || is(u"HKEY_CLASSES_ROOT"))
        return HKEY_CLASSES_ROOT;
    if (is(u"HKCU") || is(u"HKEY_CURRENT_USER"))
        return HKEY_CURRENT_USER;
    if (is(u"HKLM") || is(u"HKEY_LOCAL_MACHINE"))
        return HKEY_LOCAL_MACHINE;
    return HKEY_USERS;
}

LSTATUS SetValue(HKEY key, const std::u16string& name, const ScriptValue& v)
{
    LPCWSTR n = name.empty() ? nullptr : name.c_str();
    switch (v.type)
    {
    case ScriptValue::Type::Dword:
        return RegSetValueExW(key, n, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.dword), sizeof v.dword);
    case ScriptValue::Type::Binary:
        return RegSetValueExW(key, n, 0, REG_BINARY, v.bytes.data(), DWORD(v.bytes.size()));
    case ScriptValue::Type::String:
        break;
    }
    return RegSetValueExW(key, n, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                          DWORD((v.text.size() + 1) * sizeof(char16_t)));
}

HRESULT Register(HKEY parent, const ScriptKey& k)
{
    if (k.flag == KeyFlag::Delete || k.flag == KeyFlag::ForceRemove)
    {
        LSTATUS st = RegDeleteTreeW(parent, k.name.c_str());
        if (st != ERROR_SUCCESS && !Absent(st))
            return HRESULT_FROM_WIN32(st);
        if (k.flag == KeyFlag::Delete)
            return S_OK;
    }
    HKEY key = nullptr;
    LSTATUS st = RegCreateKeyExW(parent, k.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr);
    if (st != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(st);
    HRESULT hr = S_OK;
    if (k.defaultValue)
        hr = HRESULT_FROM_WIN32(SetValue(key, u"", *k.defaultValue));
    for (size_t i = 0; SUCCEEDED(hr) && i < k.values.size(); ++i)
        hr = HRESULT_FROM_WIN32(SetValue(key, k.values[i].first, k.values[i].second));
    for (size_t i = 0; SUCCEEDED(hr) && i < k.subkeys.size(); ++i)
        hr = Register(key, k.subkeys[i]);
    RegCloseKey(key);
    return hr;
}

// What the script registered goes; keys it only passes through (NoRemove) and keys that
// still hold someone else's subkeys stay.
HRESULT Unregister(HKEY parent, const ScriptKey& k)
{
    if (k.flag == KeyFlag::Delete)
        return S_OK;
    if (k.flag == KeyFlag::ForceRemove)
    {
        LSTATUS st = RegDeleteTreeW(parent, k.name.c_str());
        return Absent(st) ? S_OK : HRESULT_FROM_WIN32(st);
    }
    HKEY key = nullptr;
    LSTATUS st = RegOpenKeyExW(parent, k.name.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (st != ERROR_SUCCESS)
        return Absent(st) ? S_OK : HRESULT_FROM_WIN32(st);
    HRESULT hr = S_OK;
    for (size_t i = 0; SUCCEEDED(hr) && i < k.subkeys.size(); ++i)
        hr = Unregister(key, k.subkeys[i]);
    for (size_t i = 0; SUCCEEDED(hr) && i < k.values.size(); ++i)
    {
        LSTATUS vs = RegDeleteValueW(key, k.values[i].first.c_str());
        if (vs != ERROR_SUCCESS && !Absent(vs))
            hr = HRESULT_FROM_WIN32(vs);
    }
    DWORD subkeys = 0;
    if (SUCCEEDED(hr))
        hr = HRESULT_FROM_WIN32(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr, nullptr,
                                                 nullptr));
    RegCloseKey(key);
    if (FAILED(hr) || k.flag == KeyFlag::NoRemove || subkeys > 0)
        return hr;
    st = RegDeleteKeyW(parent, k.name.c_str());
    return Absent(st) ? S_OK : HRESULT_FROM_WIN32(st);
}
} // namespace

HRESULT ApplyRegistrarScript(const std::u16string& text, const Replacements& replacements, bool bRegister)
{
    ParseResult parsed = ParseRegistrarScript(text, replacements);
    if (!parsed.error.empty())
        return DISP_E_EXCEPTION;
    for (const ScriptRoot& root : parsed.roots)
        for (const ScriptKey& key : root.keys)
        {
            HKEY base = RootKey(root.name);
            HRESULT hr = bRegister ? Register(base, key) : Unregister(base, key);
            if (FAILED(hr))
                return hr;
        }
    return S_OK;
}
} // namespace qm::atl

using namespace qm::atl;

QMAPI HRESULT WINAPI AtlUpdateRegistryFromResourceD(HINSTANCE hInst, LPCOLESTR lpszRes, BOOL bRegister,
                                                    _ATL_REGMAP_ENTRY* pMapEntries, IRegistrar* pReg)
{
    if (pReg)
        return E_NOTIMPL;
    std::u16string text;
    HRESULT hr = ResourceText(hInst, lpszRes, u"REGISTRY", text);
    if (FAILED(hr))
        return hr;
    Replacements replacements;
    WCHAR module[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(hInst, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return E_FAIL;
    replacements[u"MODULE"] = module;
    for (auto* e = pMapEntries; e && e->szKey; ++e)
        replacements[e->szKey] = e->szData ? e->szData : u"";
    return ApplyRegistrarScript(text, replacements, bRegister != FALSE);
}
