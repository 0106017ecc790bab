// Local memory: heap blocks with a small header that remembers the size and marks the block
// as ours, so that LocalFree can refuse what LocalAlloc did not hand out.
#include <cstdlib>
#include <cstring>
#include <new>

#include "winbase.h"

namespace
{
constexpr uint64_t kLiveMagic = 0x4C4D454D4C495645ULL; // "LMEMLIVE"
constexpr uint64_t kFreedMagic = 0x4C4D454D46524545ULL;

struct alignas(16) Header
{
    uint64_t magic;
    uint64_t size;
};

Header* HeaderOf(HLOCAL h)
{
    return reinterpret_cast<Header*>(static_cast<char*>(h) - sizeof(Header));
}

bool IsLive(HLOCAL h)
{
    return h && HeaderOf(h)->magic == kLiveMagic;
}
} // namespace

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    if (uBytes > SIZE_MAX - sizeof(Header))
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* raw = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, sizeof(Header) + uBytes)
                                          : std::malloc(sizeof(Header) + uBytes);
    if (!raw)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* header = static_cast<Header*>(raw);
    header->magic = kLiveMagic;
    header->size = uBytes;
    return header + 1;
}

HLOCAL LocalReAlloc(HLOCAL hMem, SIZE_T uBytes, UINT uFlags)
{
    if (!IsLive(hMem))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const SIZE_T old = HeaderOf(hMem)->size;
    HLOCAL fresh = LocalAlloc(uFlags & LMEM_ZEROINIT, uBytes);
    if (!fresh)
        return nullptr;
    std::memcpy(fresh, hMem, old < uBytes ? old : uBytes);
    LocalFree(hMem);
    return fresh;
}

SIZE_T LocalSize(HLOCAL hMem)
{
    if (!IsLive(hMem))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return HeaderOf(hMem)->size;
}

LPVOID LocalLock(HLOCAL hMem)
{
    if (!IsLive(hMem))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return hMem;
}

BOOL LocalUnlock(HLOCAL hMem)
{
    // Fixed blocks have no lock count: FALSE with NO_ERROR, as Windows answers.
    SetLastError(IsLive(hMem) ? NO_ERROR : ERROR_INVALID_HANDLE);
    return FALSE;
}

HLOCAL LocalFree(HLOCAL hMem)
{
    if (!hMem)
        return nullptr;
    if (!IsLive(hMem))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    Header* header = HeaderOf(hMem);
    header->magic = kFreedMagic;
    std::free(header);
    return nullptr;
}
