// GetVersionExW from the machine's registry.
#include <algorithm>
#include <iterator>
#include <string>

#include "sysinfoapi.h"
#include "winbase.h"
#include "winreg.h"

namespace
{
bool ReadDword(HKEY key, LPCWSTR name, DWORD* out)
{
    DWORD type = 0, size = sizeof(DWORD);
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

bool ReadText(HKEY key, LPCWSTR name, std::u16string* out)
{
    WCHAR buffer[128] = {};
    DWORD type = 0, size = sizeof(buffer) - sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    *out = buffer;
    return true;
}
} // namespace

QMAPI BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info)
{
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW)))
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD major = 6, minor = 1, build = 7601;
    std::u16string csd = u"Service Pack 1";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS)
    {
        DWORD v;
        if (ReadDword(key, u"CurrentMajorVersionNumber", &v))
        {
            major = v;
            minor = ReadDword(key, u"CurrentMinorVersionNumber", &v) ? v : 0;
            csd.clear();
        }
        std::u16string text;
        if (ReadText(key, u"CurrentBuildNumber", &text))
        {
            build = 0;
            for (char16_t c : text)
                if (c >= u'0' && c <= u'9')
                    build = build * 10 + (c - u'0');
        }
        if (ReadText(key, u"CSDVersion", &text))
            csd = text;
        RegCloseKey(key);
    }
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = build;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::fill(std::begin(info->szCSDVersion), std::end(info->szCSDVersion), 0);
    std::copy_n(csd.begin(), std::min<size_t>(csd.size(), 127), info->szCSDVersion);
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW))
    {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXW*>(info);
        ex->wServicePackMajor = csd.empty() ? 0 : 1;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = VER_NT_WORKSTATION;
    }
    return TRUE;
}
