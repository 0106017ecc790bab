// COM task memory: the allocator shared by callers and servers for out-parameters.
#include <cstdlib>

#include "objbase.h"

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb)
{
    return std::malloc(cb == 0 ? 1 : cb);
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    if (pv != nullptr && cb == 0)
    {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb == 0 ? 1 : cb);
}

void WINAPI CoTaskMemFree(LPVOID pv)
{
    std::free(pv);
}
