// Type libraries as this platform keeps them (resource "TYPELIB"): a UTF-8 text, one
// declaration a line, '#' starts a comment:
//
//   library <name> {libid} <major>.<minor> ["help string"]
//   interface <name> {iid} dual|dispatch|custom ["help string"]
//   coclass <name> {clsid} ["help string"]
//
// Registration writes what RegisterTypeLib writes for such a library.
#include <sstream>
#include <string>
#include <vector>

#include "atlbase.h"
#include "libloaderapi.h"
#include "qm/utf.h"
#include "resource_text.h"
#include "winbase.h"
#include "winreg.h"

namespace qm::atl
{
namespace
{
constexpr char16_t kOleAutomationProxy[] = u"{00020424-0000-0000-C000-000000000046}";

struct TypeLibInterface
{
    std::u16string name, iid;
    bool automation = false; // dual or dispatch: marshalled by the automation proxy
};

struct TypeLibrary
{
    std::u16string name, libid, version, help;
    std::vector<TypeLibInterface> interfaces;
};

bool IsGuidText(const std::string& s)
{
    GUID g;
    std::u16string w(s.begin(), s.end());
    return CLSIDFromString(w.c_str(), &g) == S_OK && s.size() == 38;
}

// The rest of the line after the fields: an optional quoted help string.
bool HelpString(std::istringstream& in, std::u16string& help)
{
    std::string rest;
    std::getline(in, rest);
    size_t a = rest.find_first_not_of(" \t");
    if (a == std::string::npos)
        return true;
    size_t b = rest.find_last_not_of(" \t\r");
    if (rest[a] != '"' || b == a || rest[b] != '"')
        return false;
    help = qm::utf::Utf8ToUtf16(rest.substr(a + 1, b - a - 1));
    return true;
}

bool ParseTypeLibrary(const std::u16string& text, TypeLibrary& lib)
{
    std::istringstream lines(qm::utf::Utf16ToUtf8(text));
    std::string line;
    while (std::getline(lines, line))
    {
        std::istringstream in(line);
        std::string kind, name, guid;
        if (!(in >> kind) || kind[0] == '#')
            continue;
        if (!(in >> name >> guid) || !IsGuidText(guid))
            return false;
        std::u16string wname = qm::utf::Utf8ToUtf16(name), wguid(guid.begin(), guid.end());
        if (kind == "library")
        {
            std::string version;
            unsigned major = 0, minor = 0;
            char dot = 0;
            if (!lib.libid.empty() || !(in >> version))
                return false;
            std::istringstream v(version);
            if (!(v >> major >> dot >> minor) || dot != '.' || major > 0xFFFF || minor > 0xFFFF)
                return false;
            lib.name = wname;
            lib.libid = wguid;
            lib.version = qm::utf::Utf8ToUtf16(std::to_string(major) + "." + std::to_string(minor));
            if (!HelpString(in, lib.help))
                return false;
        }
        else if (kind == "interface")
        {
            std::string flavour;
            in >> flavour;
            if (flavour != "dual" && flavour != "dispatch" && flavour != "custom")
                return false;
            std::u16string help;
            if (!HelpString(in, help))
                return false;
            lib.interfaces.push_back({wname, wguid, flavour != "custom"});
        }
        else if (kind == "coclass")
        {
            std::u16string help;
            if (!HelpString(in, help))
                return false;
        }
        else
            return false;
    }
    return !lib.libid.empty();
}

HRESULT SetText(HKEY parent, const std::u16string& subKey, const char16_t* name, const std::u16string& value)
{
    HKEY key = nullptr;
    LSTATUS st = RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                 &key, nullptr);
    if (st == ERROR_SUCCESS)
    {
        st = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(char16_t)));
        RegCloseKey(key);
    }
    return HRESULT_FROM_WIN32(st);
}

HRESULT Load(HINSTANCE module, LPCOLESTR index, TypeLibrary& lib, std::u16string& path)
{
    std::u16string text;
    HRESULT hr = ResourceText(module, index ? index : MAKEINTRESOURCEW(1), u"TYPELIB", text);
    if (FAILED(hr))
        return hr;
    if (!ParseTypeLibrary(text, lib))
        return TYPE_E_INVDATAREAD;
    WCHAR file[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(module, file, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return E_FAIL;
    path = file;
    // A library other than the first is named by its index after the path.
    if (index)
        path += u"\\" + std::u16string(IS_INTRESOURCE(index) ? qm::utf::Utf8ToUtf16(std::to_string(uintptr_t(index)))
                                                             : std::u16string(index));
    return S_OK;
}
} // namespace
} // namespace qm::atl

using namespace qm::atl;

QMAPI HRESULT WINAPI AtlRegisterTypeLib(HINSTANCE hInstTypeLib, LPCOLESTR lpszIndex)
{
    TypeLibrary lib;
    std::u16string path;
    HRESULT hr = Load(hInstTypeLib, lpszIndex, lib, path);
    if (FAILED(hr))
        return hr;
    size_t slash = path.find_last_of(u"\\/");
    std::u16string dir = path.substr(0, slash == std::u16string::npos ? 0 : slash);
    std::u16string base = u"TypeLib\\" + lib.libid + u"\\" + lib.version;
    hr = SetText(HKEY_CLASSES_ROOT, base, nullptr, lib.help.empty() ? lib.name : lib.help);
    if (SUCCEEDED(hr))
        hr = SetText(HKEY_CLASSES_ROOT, base + u"\\0\\win32", nullptr, path);
    if (SUCCEEDED(hr))
        hr = SetText(HKEY_CLASSES_ROOT, base + u"\\FLAGS", nullptr, u"0");
    if (SUCCEEDED(hr))
        hr = SetText(HKEY_CLASSES_ROOT, base + u"\\HELPDIR", nullptr, dir);
    for (size_t i = 0; SUCCEEDED(hr) && i < lib.interfaces.size(); ++i)
    {
        const TypeLibInterface& itf = lib.interfaces[i];
        if (!itf.automation)
            continue;
        std::u16string key = u"Interface\\" + itf.iid;
        hr = SetText(HKEY_CLASSES_ROOT, key, nullptr, itf.name);
        if (SUCCEEDED(hr))
            hr = SetText(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid", nullptr, kOleAutomationProxy);
        if (SUCCEEDED(hr))
            hr = SetText(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid32", nullptr, kOleAutomationProxy);
        if (SUCCEEDED(hr))
            hr = SetText(HKEY_CLASSES_ROOT, key + u"\\TypeLib", nullptr, lib.libid);
        if (SUCCEEDED(hr))
            hr = SetText(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"Version", lib.version);
    }
    return hr;
}

QMAPI HRESULT WINAPI AtlUnRegisterTypeLib(HINSTANCE hInstTypeLib, LPCOLESTR lpszIndex)
{
    TypeLibrary lib;
    std::u16string path;
    HRESULT hr = Load(hInstTypeLib, lpszIndex, lib, path);
    if (FAILED(hr))
        return hr;
    auto gone = [](LSTATUS st) { return st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND || st == ERROR_PATH_NOT_FOUND; };
    for (const TypeLibInterface& itf : lib.interfaces)
        if (itf.automation)
            if (LSTATUS st = RegDeleteTreeW(HKEY_CLASSES_ROOT, (u"Interface\\" + itf.iid).c_str()); !gone(st))
                return HRESULT_FROM_WIN32(st);
    std::u16string libKey = u"TypeLib\\" + lib.libid;
    if (LSTATUS st = RegDeleteTreeW(HKEY_CLASSES_ROOT, (libKey + u"\\" + lib.version).c_str()); !gone(st))
        return HRESULT_FROM_WIN32(st);
    // The library's key goes when no other version is left in it.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, libKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return S_OK;
    DWORD subkeys = 0;
    LSTATUS st = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr);
    RegCloseKey(key);
    if (st == ERROR_SUCCESS && subkeys == 0)
        st = RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str());
    return gone(st) ? S_OK : HRESULT_FROM_WIN32(st);
}
