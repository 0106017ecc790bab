// Memory the browser hands out (NPN_MemAlloc, NPN_UTF8FromIdentifier) and takes back
// (NPN_MemFree, released result variants). Every block is accounted for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace nphost
{
class MemoryTracker
{
public:
    void* Allocate(uint32_t size, const char* origin);
    // Frees a live block. A null pointer is accepted; an unknown pointer or a second free
    // is reported with the caller's name and nothing is freed.
    bool Free(void* pointer, const char* caller);
    bool IsLive(const void* pointer) const;
    // Reports each block still allocated; returns their number.
    size_t ReportLeaks() const;
    // Frees what is left once it has been reported.
    void FreeAll();

private:
    struct Block
    {
        uint32_t size;
        const char* origin;
    };
    std::unordered_map<void*, Block> m_live;
    std::unordered_set<void*> m_freed; // freed and not handed out again
};

MemoryTracker& Memory();
} // namespace nphost
