#include "host_memory.h"

#include <cstdlib>
#include <string>

#include "diagnostics.h"

namespace nphost
{
void* MemoryTracker::Allocate(uint32_t size, const char* origin)
{
    // A zero-byte request still gets a block of its own, so that it can be freed.
    void* pointer = std::malloc(size == 0 ? 1 : size);
    if (pointer == nullptr)
        return nullptr;
    m_live[pointer] = Block{size, origin};
    m_freed.erase(pointer);
    return pointer;
}

bool MemoryTracker::Free(void* pointer, const char* caller)
{
    if (pointer == nullptr)
        return true;
    auto it = m_live.find(pointer);
    if (it == m_live.end())
    {
        if (m_freed.count(pointer))
            Fault(std::string(caller) + ": double free of " + Hex(pointer));
        else
            Fault(std::string(caller) + ": " + Hex(pointer) +
                  " was not allocated by the browser (NPN_MemAlloc)");
        return false;
    }
    m_live.erase(it);
    m_freed.insert(pointer);
    std::free(pointer);
    return true;
}

bool MemoryTracker::IsLive(const void* pointer) const
{
    return m_live.count(const_cast<void*>(pointer)) != 0;
}

size_t MemoryTracker::ReportLeaks() const
{
    for (const auto& [pointer, block] : m_live)
        Leak(std::to_string(block.size) + " bytes from " + block.origin + " at " + Hex(pointer) +
             " never freed: \"" + Preview(pointer, block.size) + "\"");
    return m_live.size();
}

void MemoryTracker::FreeAll()
{
    for (const auto& [pointer, block] : m_live)
        std::free(pointer);
    m_live.clear();
}

MemoryTracker& Memory()
{
    static MemoryTracker tracker;
    return tracker;
}
} // namespace nphost
