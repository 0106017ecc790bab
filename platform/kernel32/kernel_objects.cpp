// The handle table of waitable objects, and WaitForSingleObject.
#include "kernel_objects.h"

#include <map>
#include <mutex>

#include "synchapi.h"
#include "winbase.h"

namespace qm::kernel32
{
namespace
{
// Each handle is its own heap cell, so no other kind of handle passes for one.
struct Cell
{
    char unused;
};
std::mutex g_lock;
std::map<HANDLE, std::shared_ptr<KernelObject>>& Objects()
{
    static auto* objects = new std::map<HANDLE, std::shared_ptr<KernelObject>>;
    return *objects;
}
} // namespace

HANDLE AddObject(std::shared_ptr<KernelObject> object)
{
    HANDLE handle = new Cell{};
    std::lock_guard guard(g_lock);
    Objects().emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> FindObject(HANDLE handle)
{
    std::lock_guard guard(g_lock);
    auto it = Objects().find(handle);
    return it == Objects().end() ? nullptr : it->second;
}

bool CloseObject(HANDLE handle)
{
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard guard(g_lock);
        auto it = Objects().find(handle);
        if (it == Objects().end())
            return false;
        object = std::move(it->second);
        Objects().erase(it);
    }
    delete static_cast<Cell*>(handle);
    return true; // the object itself goes with its last reference, outside the lock
}
} // namespace qm::kernel32

QMAPI DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    auto object = qm::kernel32::FindObject(hHandle);
    if (!object)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    DWORD result = object->Wait(dwMilliseconds);
    if (result == WAIT_FAILED)
        SetLastError(ERROR_INVALID_HANDLE);
    return result;
}
