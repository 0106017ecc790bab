// Count of the DOM objects alive in this module (DllCanUnloadNow and leak tests).
#pragma once

#include <atomic>

namespace qm::msxml
{
extern std::atomic<long> g_liveObjects;

struct LiveObject
{
    LiveObject() { ++g_liveObjects; }
    ~LiveObject() { --g_liveObjects; }
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;
};
} // namespace qm::msxml
