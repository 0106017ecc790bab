// Global memory blocks. Fixed blocks are their own address; moveable blocks are handles
// that GlobalLock turns into the address and that count their locks.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "winbase.h"

namespace
{
struct Block
{
    void* data = nullptr;
    SIZE_T size = 0;
    bool moveable = false;
    UINT locks = 0;
};

std::mutex g_lock;
// Fixed blocks by address, moveable ones by handle (the Block itself).
std::unordered_map<const void*, Block*>& Blocks()
{
    static auto* blocks = new std::unordered_map<const void*, Block*>;
    return *blocks;
}

Block* Lookup(HGLOBAL h)
{
    auto it = Blocks().find(h);
    return it == Blocks().end() ? nullptr : it->second;
}

HGLOBAL HandleOf(Block* b) { return b->moveable ? static_cast<HGLOBAL>(b) : static_cast<HGLOBAL>(b->data); }
} // namespace

QMAPI HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    void* data = (uFlags & GMEM_ZEROINIT) ? std::calloc(dwBytes ? dwBytes : 1, 1) : std::malloc(dwBytes ? dwBytes : 1);
    if (!data)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* b = new Block{data, dwBytes, (uFlags & GMEM_MOVEABLE) != 0, 0};
    std::lock_guard lock(g_lock);
    HGLOBAL h = HandleOf(b);
    Blocks()[h] = b;
    return h;
}

QMAPI HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags)
{
    std::lock_guard lock(g_lock);
    Block* b = Lookup(hMem);
    if (!b)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!b->moveable && !(uFlags & GMEM_MOVEABLE) && dwBytes > b->size)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* data = std::realloc(b->data, dwBytes ? dwBytes : 1);
    if (!data)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if ((uFlags & GMEM_ZEROINIT) && dwBytes > b->size)
        memset(static_cast<char*>(data) + b->size, 0, dwBytes - b->size);
    Blocks().erase(hMem);
    b->data = data;
    b->size = dwBytes;
    HGLOBAL h = HandleOf(b);
    Blocks()[h] = b;
    return h;
}

QMAPI SIZE_T WINAPI GlobalSize(HGLOBAL hMem)
{
    std::lock_guard lock(g_lock);
    Block* b = Lookup(hMem);
    if (!b)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return b->size;
}

QMAPI LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
    std::lock_guard lock(g_lock);
    Block* b = Lookup(hMem);
    if (!b)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (b->moveable)
        ++b->locks;
    return b->data;
}

QMAPI BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
    std::lock_guard lock(g_lock);
    Block* b = Lookup(hMem);
    if (!b)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!b->moveable || b->locks == 0)
    {
        SetLastError(b->moveable ? ERROR_NOT_LOCKED : NO_ERROR);
        return FALSE;
    }
    if (--b->locks == 0)
    {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

QMAPI HGLOBAL WINAPI GlobalHandle(LPCVOID pMem)
{
    std::lock_guard lock(g_lock);
    if (Block* b = Lookup(const_cast<void*>(pMem)))
        return HandleOf(b);
    for (auto& [h, b] : Blocks())
        if (b->data == pMem)
            return const_cast<HGLOBAL>(h);
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

QMAPI HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    if (!hMem)
        return nullptr;
    std::lock_guard lock(g_lock);
    Block* b = Lookup(hMem);
    if (!b)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    Blocks().erase(hMem);
    std::free(b->data);
    delete b;
    return nullptr;
}
