#include "WindowThunk.h"

#include <mutex>
#include <unordered_map>

namespace
{
std::mutex s_mutex;
std::unordered_map<HWND, void*>& Bindings()
{
    static auto* s_pBindings = new std::unordered_map<HWND, void*>();
    return *s_pBindings;
}
thread_local void* t_pPending = nullptr;
} // namespace

void CWndProcThunk::Bind(HWND hWnd, void* pObject)
{
    Unbind();
    std::lock_guard<std::mutex> lock(s_mutex);
    Bindings()[hWnd] = pObject;
    m_hWnd = hWnd;
}

void CWndProcThunk::Unbind()
{
    if (!m_hWnd)
        return;
    std::lock_guard<std::mutex> lock(s_mutex);
    Bindings().erase(m_hWnd);
    m_hWnd = nullptr;
}

void* CWndProcThunk::Lookup(HWND hWnd)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    auto it = Bindings().find(hWnd);
    return it == Bindings().end() ? nullptr : it->second;
}

void CWndProcThunk::SetPending(void* pObject)
{
    t_pPending = pObject;
}

void* CWndProcThunk::TakePending()
{
    void* pObject = t_pPending;
    t_pPending = nullptr;
    return pObject;
}
