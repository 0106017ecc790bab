#include "OSVersion.h"

#include <cstdio>

#include "CheckText.h"

namespace
{
std::string Format(const char* pattern, DWORD a, DWORD b, DWORD c, const std::string& text, bool textLast)
{
    char buffer[512];
    if (textLast)
        std::snprintf(buffer, sizeof buffer, pattern, int(a), int(b), int(c), text.c_str());
    else
        std::snprintf(buffer, sizeof buffer, pattern, int(a), int(b), text.c_str(), int(c));
    return buffer;
}

std::string VistaEdition(const OSVERSIONINFOEXW& info)
{
    DWORD type = 0;
    HMODULE kernel = LoadLibraryA("Kernel32.dll");
    if (kernel)
    {
        using Fn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
        if (auto fn = reinterpret_cast<Fn>(GetProcAddress(kernel, "GetProductInfo")))
            fn(info.dwMajorVersion, info.dwMinorVersion, 0, 0, &type);
        FreeLibrary(kernel);
    }
    switch (type)
    {
    case 6: case 16: return " Business";
    case 1: case 28: return " Ultimate";
    case 19: return " Home Server";
    case 2: case 5: return " Home Basic";
    case 3: case 26: return " Home Premium";
    case 4: case 27: return " Enterprise";
    default: return "";
    }
}

std::string ProductOptionsEdition()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return "";
    char value[80] = {};
    DWORD size = sizeof(value) - 1;
    LSTATUS st = RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (st != ERROR_SUCCESS)
        return "";
    if (lstrcmpiA(value, "WINNT") == 0)
        return " Professional";
    if (lstrcmpiA(value, "LANMANNT") == 0)
        return " Server";
    if (lstrcmpiA(value, "SERVERNT") == 0)
        return " Advanced Server";
    return "";
}
} // namespace

OSVersion g_osVersion;

OSVersion::OSVersion()
{
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    extended = GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info)) ? 1 : 0;
    if (!extended)
    {
        info = {};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        valid = GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info)) != FALSE;
    }
    else
    {
        valid = true;
    }
    if (valid)
        Classify();
}

OSVersion::~OSVersion() = default;

void OSVersion::Classify()
{
    code = 0;
    name.clear();
    versionText.clear();
    const DWORD major = info.dwMajorVersion, minor = info.dwMinorVersion;
    std::string servicePack = AcpFromWide(info.szCSDVersion);
    switch (info.dwPlatformId)
    {
    case 0:
        code = 1;
        name = "Microsoft Win32s";
        return;
    case 1:
        if (major == 4 && minor == 0)
        {
            code = 3;
            name = "Microsoft Windows 95";
            if (servicePack.size() > 1 && (servicePack[1] == 'C' || servicePack[1] == 'B'))
            {
                code = 4;
                name += " OSR2";
            }
        }
        else if (major == 4 && minor == 10)
        {
            code = 5;
            name = "Microsoft Windows 98";
            if (servicePack.size() > 1 && servicePack[1] == 'A')
            {
                code = 6;
                name += " SE";
            }
        }
        else if (major == 4 && minor == 90)
        {
            code = 7;
            name = "Microsoft Windows Me";
        }
        versionText = Format("Version %d.%d Build %d %s", major, minor, info.dwBuildNumber, servicePack, true);
        return;
    case 2:
        break;
    default:
        name = "Unknown";
        versionText = "Unknown";
        return;
    }

    if (major <= 4)
        code = 2, name = "Microsoft Windows NT";
    else if (major == 5 && minor == 0)
        code = 8, name = "Microsoft Windows 2000";
    else if (major == 5 && minor == 1)
        code = 9, name = "Microsoft Windows XP";
    else if (major == 5)
        code = 10, name = "Microsoft Windows Server 2003";
    else if (major == 6 && minor == 0)
        code = 11, name = "Microsoft Windows Vista";
    else if (major == 6 && minor == 1)
        code = 12, name = "Microsoft Windows seven";
    else if (major == 6 && minor == 2)
        code = 13, name = "Microsoft Windows eight";
    else
        code = 12, name = "Unknown Windows version, but above Windows 7";

    if (extended)
    {
        if (info.wProductType == 1)
        {
            if (major == 6 && minor == 0)
                name += VistaEdition(info);
            else
                name += (info.wSuiteMask & 0x200) ? " Personal" : " Professional";
        }
        else if (info.wProductType == 3)
        {
            if (info.wSuiteMask & 0x80)
                name += " DataCenter Server";
            else if (info.wSuiteMask & 0x02)
                name += " Advanced Server";
            else
                name += " Server";
        }
    }
    else
    {
        name += ProductOptionsEdition();
    }
    versionText = Format("Version %d.%d %s (Build %d)", major, minor, info.dwBuildNumber, servicePack, false);
}

bool IsVistaOrLater(const OSVersion& version)
{
    return version.code >= 11;
}
