#include "SystemInfoChecks.h"

#include <cstdio>
#include <cstring>

#include "CheckText.h"
#include "OSVersion.h"
#include "sysinfoapi.h"

namespace
{
DWORD ProductType(DWORD major, DWORD minor)
{
    DWORD type = 0;
    if (HMODULE kernel = LoadLibraryA("kernel32.dll"))
    {
        using Fn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
        if (auto fn = reinterpret_cast<Fn>(GetProcAddress(kernel, "GetProductInfo")))
            fn(major, minor, 0, 0, &type);
        FreeLibrary(kernel);
    }
    return type;
}

WORD Architecture()
{
    SYSTEM_INFO si = {};
    bool native = false;
    if (HMODULE kernel = LoadLibraryA("kernel32.dll"))
    {
        using Fn = void(WINAPI*)(LPSYSTEM_INFO);
        if (auto fn = reinterpret_cast<Fn>(GetProcAddress(kernel, "GetNativeSystemInfo")))
        {
            fn(&si);
            native = true;
        }
        FreeLibrary(kernel);
    }
    if (!native)
        GetSystemInfo(&si);
    return si.wProcessorArchitecture;
}

const char* EditionText(DWORD type)
{
    switch (type)
    {
    case 1: return "Ultimate Edition";
    case 2: return "Home Basic Edition";
    case 3: return "Home Premium Edition";
    case 4: case 10: case 72: return "Enterprise Edition";
    case 6: return "Business Edition";
    case 7: return "Standard Edition";
    case 8: return "Datacenter Edition";
    case 9: return "Small Business Server";
    case 11: return "Starter Edition";
    case 12: return "Datacenter Edition (core installation)";
    case 13: return "Standard Edition (core installation)";
    case 14: return "Enterprise Edition (core installation)";
    case 15: return "Enterprise Edition for Itanium-based Systems";
    case 17: return "Web Server Edition";
    case 18: return "Cluster Server Edition";
    case 25: return "Small Business Server Premium Edition";
    case 48: return "Professional";
    case 101: return "Home Edition";
    case 121: return "Education Edition";
    default: return "Unknown";
    }
}

// The display text for a version record and processor architecture.
std::string DisplayText(const OSVERSIONINFOEXW& v, WORD arch)
{
    std::string text = "Microsoft ";
    const DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion, suite = v.wSuiteMask;
    bool skipEdition = false;
    if (major == 6)
    {
        if (minor == 0)
            text += v.wProductType == 1 ? "Windows Vista " : "Windows Server 2008 ";
        else if (minor == 1)
            text += "Windows 7 ";
        else if (minor == 2)
            text += IsWindows10() ? "Windows 10 " : "Windows 8 ";
        text += EditionText(ProductType(6, 0));
        if (arch == PROCESSOR_ARCHITECTURE_AMD64)
            text += ", 64-bit";
        else if (arch == PROCESSOR_ARCHITECTURE_INTEL)
            text += ", 32-bit";
    }
    else if (major == 5 && minor == 2)
    {
        if (GetSystemMetrics(89))
            text += "Windows Server 2003 R2, ";
        else if (suite == 0x2000)
            text += "Windows Storage Server 2003";
        else if (v.wProductType == 1 && arch == PROCESSOR_ARCHITECTURE_AMD64)
        {
            text += "Windows XP Professional x64 Edition";
            skipEdition = true;
        }
        else
            text += "Windows Server 2003, ";
        if (!skipEdition && v.wProductType != 1)
        {
            if (arch == PROCESSOR_ARCHITECTURE_IA64)
            {
                if (suite & 0x80)
                    text += "Datacenter Edition for Itanium-based Systems";
                else if (suite & 0x02)
                    text += "Enterprise Edition for Itanium-based Systems";
            }
            else if (arch == PROCESSOR_ARCHITECTURE_AMD64)
            {
                if (suite & 0x80)
                    text += "Datacenter x64 Edition";
                else if (suite & 0x02)
                    text += "Enterprise x64 Edition";
                else
                    text += "Standard x64 Edition";
            }
            else
            {
                if (suite & 0x4000)
                    text += "Compute Cluster Edition";
                else if (suite & 0x80)
                    text += "Datacenter Edition";
                else if (suite & 0x02)
                    text += "Enterprise Edition";
                else if (suite & 0x400)
                    text += "Web Edition";
                else
                    text += "Standard Edition";
            }
        }
    }
    else if (major == 5 && minor == 1)
    {
        text += "Windows XP ";
        text += (suite & 0x200) ? "Home Edition" : "Professional";
    }
    else if (major == 5 && minor == 0)
    {
        text += "Windows 2000 ";
        if (v.wProductType == 1)
            text += "Professional";
        else if (suite & 0x80)
            text += "Datacenter Server";
        else if (suite & 0x02)
            text += "Advanced Server";
        else
            text += "Server";
    }
    std::string servicePack = AcpFromWide(v.szCSDVersion);
    if (!servicePack.empty())
        text += " " + servicePack;
    char build[32];
    std::snprintf(build, sizeof build, " (build %d)", int(v.dwBuildNumber));
    return text + build;
}
} // namespace

int GetOSDisplayString(char* buffer)
{
    OSVERSIONINFOEXW v = {};
    v.dwOSVersionInfoSize = sizeof v;
    if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&v)))
        return 1;
    WORD arch = Architecture();
    if (v.dwPlatformId != VER_PLATFORM_WIN32_NT || v.dwMajorVersion < 5)
        return 0;
    std::string text = DisplayText(v, arch);
    // The caller's buffer holds 260 bytes and keeps its terminator.
    std::strncpy(buffer, text.c_str(), 259);
    return 1;
}

std::string GetOSDescription()
{
    char buffer[260] = {};
    if (GetOSDisplayString(buffer) == 1)
        return buffer;
    OSVersion version;
    return version.name + " " + version.versionText;
}

bool IsWindows10()
{
    HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (!ntdll)
        return false;
    bool result = false;
    using Fn = LONG(WINAPI*)(LPOSVERSIONINFOW);
    if (auto fn = reinterpret_cast<Fn>(GetProcAddress(ntdll, "RtlGetVersion")))
    {
        OSVERSIONINFOW v = {};
        v.dwOSVersionInfoSize = sizeof v;
        result = fn(&v) == 0 && v.dwMajorVersion == 10 && v.dwMinorVersion == 0;
    }
    FreeLibrary(ntdll);
    return result;
}

std::string GetIEVersion()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return "unknown";
    char value[261] = {};
    DWORD size = 260;
    LSTATUS st = RegQueryValueExA(key, "svcVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    if (st != ERROR_SUCCESS)
    {
        std::memset(value, 0, sizeof value);
        size = 260;
        st = RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    }
    RegCloseKey(key);
    if (st != ERROR_SUCCESS)
        return "unknown";
    return std::string("IE ") + value;
}
