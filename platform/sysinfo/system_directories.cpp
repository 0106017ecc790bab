// GetSystemDirectoryA and GetSystemWow64DirectoryA: the machine's fixed Windows folders.
#include <cstring>

#include "machine_facts.h"
#include "sysinfoapi.h"
#include "winbase.h"

namespace
{
UINT CopyFolder(const char* folder, LPSTR buffer, UINT size)
{
    UINT length = UINT(std::strlen(folder));
    if (!buffer || size <= length)
        return length + 1;
    std::memcpy(buffer, folder, length + 1);
    return length;
}
} // namespace

QMAPI UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    return CopyFolder("C:\\Windows\\System32", buffer, size);
}

QMAPI UINT WINAPI GetSystemWow64DirectoryA(LPSTR buffer, UINT size)
{
    if (qm::sysinfo::NativeArchitecture() == PROCESSOR_ARCHITECTURE_INTEL)
    {
        SetLastError(120); // ERROR_CALL_NOT_IMPLEMENTED
        return 0;
    }
    return CopyFolder("C:\\Windows\\SysWOW64", buffer, size);
}
