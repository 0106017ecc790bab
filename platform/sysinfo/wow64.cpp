// GetCurrentProcess and the WOW64 functions: a 32-bit program on a machine whose native
// processor is not x86 runs under WOW64.
#include "machine_facts.h"
#include "sysinfoapi.h"
#include "winbase.h"
#include "wow64apiset.h"

namespace
{
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1));
// Per thread, as on Windows; nothing else reads it since the machine's folders are not remapped.
thread_local bool t_redirectionOff = false;

bool UnderWow64()
{
    return qm::sysinfo::NativeArchitecture() != PROCESSOR_ARCHITECTURE_INTEL;
}
} // namespace

QMAPI HANDLE WINAPI GetCurrentProcess(void)
{
    return kCurrentProcess;
}

QMAPI BOOL WINAPI IsWow64Process(HANDLE process, PBOOL wow64)
{
    if (process != kCurrentProcess)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!wow64)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *wow64 = UnderWow64() ? TRUE : FALSE;
    return TRUE;
}

QMAPI BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* old)
{
    if (!UnderWow64())
    {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (!old)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *old = reinterpret_cast<PVOID>(static_cast<INT_PTR>(t_redirectionOff ? 1 : 0));
    t_redirectionOff = true;
    return TRUE;
}

QMAPI BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID old)
{
    if (!UnderWow64())
    {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    t_redirectionOff = old != nullptr;
    return TRUE;
}
