// Code pages and UI languages of the machine, read from its registry once per machine
// directory, and the thread's UI language.
#include "nls_settings.h"

#include <mutex>
#include <optional>
#include <string>

#include "crtwide.h"
#include "qm/machine.h"
#include "qm/nls.h"
#include "winbase.h"
#include "winnls.h"

#if __has_include("winreg.h")
#include "winreg.h"
// Weak, so that kernel32 links while the registry is still being built.
#pragma weak RegOpenKeyExW
#pragma weak RegQueryValueExW
#pragma weak RegCloseKey
#define QM_HAVE_REGISTRY 1
#endif

namespace qm::kernel32
{
namespace
{
std::mutex g_lock;
std::optional<std::filesystem::path> g_loadedFor;
NlsSettings g_settings;
thread_local bool t_reading = false; // the registry may convert text itself
thread_local LANGID t_threadUiLanguage = 0;

std::optional<std::u16string> ReadMachineString(const char16_t* keyPath, const char16_t* valueName)
{
#ifdef QM_HAVE_REGISTRY
    if (!&RegOpenKeyExW || !&RegQueryValueExW || !&RegCloseKey)
        return std::nullopt;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    char16_t data[64] = {};
    DWORD type = 0, size = sizeof(data) - sizeof(char16_t);
    LONG rc = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return std::nullopt;
    if (type == REG_DWORD && size == 4)
    {
        DWORD v;
        __builtin_memcpy(&v, data, 4);
        return std::u16string(1, u'#') + std::u16string(reinterpret_cast<const char16_t*>(&v), 2);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    return std::u16string(data, wcsnlen(data, size / sizeof(char16_t)));
#else
    (void)keyPath;
    (void)valueName;
    return std::nullopt;
#endif
}

// A REG_SZ number in the given base, or a REG_DWORD (marked '#' above).
std::optional<unsigned long> ReadMachineNumber(const char16_t* keyPath, const char16_t* valueName, int base)
{
    auto text = ReadMachineString(keyPath, valueName);
    if (!text || text->empty())
        return std::nullopt;
    if ((*text)[0] == u'#' && text->size() == 3)
        return (*text)[1] | (static_cast<unsigned long>((*text)[2]) << 16);
    unsigned long v = 0;
    for (char16_t c : *text)
    {
        int d = (c >= u'0' && c <= u'9') ? c - u'0' : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                                    : (c >= u'A' && c <= u'F') ? c - u'A' + 10 : 99;
        if (d >= base || v > 0xFFFFFF)
            return std::nullopt;
        v = v * base + d;
    }
    return v;
}

NlsSettings Load()
{
    NlsSettings s;
    const char16_t* codePages = u"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage";
    if (auto acp = ReadMachineNumber(codePages, u"ACP", 10); acp && *acp > 0 && *acp < 65536)
        s.ansiCodePage = *acp;
    if (auto oem = ReadMachineNumber(codePages, u"OEMCP", 10); oem && *oem > 0 && *oem < 65536)
        s.oemCodePage = *oem;
    if (auto lang = ReadMachineNumber(u"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", u"InstallLanguage", 16);
        lang && *lang > 0 && *lang <= 0xFFFF)
        s.uiLanguage = static_cast<LANGID>(*lang);
    return s;
}
} // namespace

NlsSettings MachineNlsSettings()
{
    if (t_reading)
        return NlsSettings{};
    const std::filesystem::path machine = qm::MachineDirectory();
    {
        std::lock_guard lock(g_lock);
        if (g_loadedFor && *g_loadedFor == machine)
            return g_settings;
    }
    const DWORD savedError = GetLastError();
    t_reading = true;
    NlsSettings loaded = Load();
    t_reading = false;
    SetLastError(savedError);
    std::lock_guard lock(g_lock);
    g_settings = loaded;
    g_loadedFor = machine;
    return loaded;
}

LANGID ThreadUiLanguageOverride()
{
    return t_threadUiLanguage;
}

void SetThreadUiLanguageOverride(LANGID lang)
{
    t_threadUiLanguage = lang;
}
} // namespace qm::kernel32

using qm::kernel32::MachineNlsSettings;

UINT GetACP(void)
{
    return MachineNlsSettings().ansiCodePage;
}

UINT GetOEMCP(void)
{
    return MachineNlsSettings().oemCodePage;
}

LANGID GetUserDefaultUILanguage(void)
{
    return MachineNlsSettings().uiLanguage;
}

LANGID GetSystemDefaultUILanguage(void)
{
    return MachineNlsSettings().uiLanguage;
}

LANGID GetUserDefaultLangID(void)
{
    return MachineNlsSettings().uiLanguage;
}

LANGID GetSystemDefaultLangID(void)
{
    return MachineNlsSettings().uiLanguage;
}

LCID GetUserDefaultLCID(void)
{
    return MAKELCID(GetUserDefaultLangID(), SORT_DEFAULT);
}

LCID GetThreadLocale(void)
{
    return GetUserDefaultLCID();
}

LANGID GetThreadUILanguage(void)
{
    LANGID lang = qm::kernel32::ThreadUiLanguageOverride();
    return lang ? lang : GetUserDefaultUILanguage();
}

LANGID SetThreadUILanguage(LANGID LangId)
{
    if (LangId != 0 && PRIMARYLANGID(LangId) == LANG_NEUTRAL)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    qm::kernel32::SetThreadUiLanguageOverride(LangId);
    return GetThreadUILanguage();
}

namespace qm
{
std::vector<LANGID> UiLanguageFallbacks()
{
    std::vector<LANGID> order;
    auto add = [&](LANGID lang) {
        for (LANGID have : order)
            if (have == lang)
                return;
        order.push_back(lang);
    };
    const LANGID thread = GetThreadUILanguage();
    add(thread);
    add(MAKELANGID(PRIMARYLANGID(thread), SUBLANG_NEUTRAL));
    add(GetUserDefaultUILanguage());
    add(GetSystemDefaultUILanguage());
    add(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    add(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    add(MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL));
    return order;
}

LANGID ResolveLanguageId(LANGID lang)
{
    if (lang == LANG_USER_DEFAULT)
        return GetThreadUILanguage();
    if (lang == LANG_SYSTEM_DEFAULT)
        return GetSystemDefaultUILanguage();
    return lang;
}

void ReloadNlsSettings()
{
    std::lock_guard lock(qm::kernel32::g_lock);
    qm::kernel32::g_loadedFor.reset();
}
} // namespace qm
