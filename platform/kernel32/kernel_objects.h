// Handles of waitable kernel objects (threads, processes, mutexes). CloseHandle ends here
// for every handle that is not a file.
#pragma once

#include <memory>
#include <string>

#include "windef.h"

namespace qm::kernel32
{
class KernelObject
{
public:
    virtual ~KernelObject() = default;
    // WAIT_OBJECT_0 when signalled within the time, else WAIT_TIMEOUT; WAIT_FAILED when the
    // object cannot be waited on.
    virtual DWORD Wait(DWORD milliseconds) = 0;
};

HANDLE AddObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> FindObject(HANDLE handle);
// False when the handle is not one of these objects.
bool CloseObject(HANDLE handle);

// The Linux path of a machine path (C:\... on drive_c, or an absolute Linux path); empty
// when the path names nothing.
std::string MachinePath(LPCWSTR path);
// The descriptor behind a file handle of CreateFileW, -1 for anything else.
int FileDescriptor(HANDLE handle);
DWORD ErrorOfLinuxError(int e);
} // namespace qm::kernel32
