// GetNativeSystemInfo, GetSystemInfo and RtlGetVersion from the machine's registry.
#include <cstring>
#include <thread>

#include "machine_facts.h"
#include "sysinfoapi.h"
#include "winbase.h"
#include "winreg.h"

namespace qm::sysinfo
{
std::u16string MachineText(const char16_t* key, const char16_t* value)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return {};
    WCHAR buffer[260] = {};
    DWORD type = 0, size = sizeof(buffer) - sizeof(WCHAR);
    LSTATUS st = RegQueryValueExW(h, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(h);
    if (st != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return buffer;
}

WORD NativeArchitecture()
{
    std::u16string arch = MachineText(u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                                      u"PROCESSOR_ARCHITECTURE");
    for (auto& c : arch)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
    if (arch == u"AMD64")
        return PROCESSOR_ARCHITECTURE_AMD64;
    if (arch == u"IA64")
        return PROCESSOR_ARCHITECTURE_IA64;
    return PROCESSOR_ARCHITECTURE_INTEL;
}
} // namespace qm::sysinfo

namespace
{
void Fill(LPSYSTEM_INFO info, WORD architecture)
{
    std::memset(info, 0, sizeof(*info));
    info->wProcessorArchitecture = architecture;
    info->dwPageSize = 4096;
    info->dwAllocationGranularity = 65536;
    unsigned n = std::thread::hardware_concurrency();
    info->dwNumberOfProcessors = n ? n : 1;
    info->dwActiveProcessorMask = n >= 32 ? ~DWORD_PTR(0) : (DWORD_PTR(1) << info->dwNumberOfProcessors) - 1;
}
} // namespace

QMAPI void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO info)
{
    if (info)
        Fill(info, qm::sysinfo::NativeArchitecture());
}

QMAPI void WINAPI GetSystemInfo(LPSYSTEM_INFO info)
{
    if (info)
        Fill(info, PROCESSOR_ARCHITECTURE_INTEL);
}

QMAPI LONG WINAPI RtlGetVersion(LPOSVERSIONINFOW info)
{
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW)))
        return LONG(0xC000000DL);
    DWORD last = GetLastError();
    BOOL ok = GetVersionExW(info);
    SetLastError(last);
    return ok ? 0 : LONG(0xC000000DL);
}
