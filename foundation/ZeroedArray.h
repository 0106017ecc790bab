// Zero-filled array-new buffers handed from one step to the next.
#pragma once

#include <cstring>
#include <new>

// The plug-ins were built for a 32-bit address space: no single block reaches 2 GB there,
// so a larger request fails like any other allocation instead of being attempted.
#define MAX_BLOCK_BYTES 0x7FFFFFFFULL

template <class T>
inline T* NewZeroedArray(unsigned long long ullCount)
{
    if (ullCount == 0 || ullCount > MAX_BLOCK_BYTES / sizeof(T))
    {
        return nullptr;
    }
    T* p = new (std::nothrow) T[(size_t)ullCount];
    if (p)
    {
        memset(p, 0, (size_t)ullCount * sizeof(T));
    }
    return p;
}

// The same limits without the clearing, for a buffer that its producer fills completely.
template <class T>
inline T* NewUnclearedArray(unsigned long long ullCount)
{
    if (ullCount == 0 || ullCount > MAX_BLOCK_BYTES / sizeof(T))
    {
        return nullptr;
    }
    return new (std::nothrow) T[(size_t)ullCount];
}
