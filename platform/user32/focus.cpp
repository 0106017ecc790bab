// Focus, activation, the foreground window and mouse capture.
#include <atomic>
#include <map>

#include "thread_state.h"
#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
std::mutex g_queuesLock;
std::map<std::thread::id, std::shared_ptr<ThreadQueue>>& Queues()
{
    static auto* queues = new std::map<std::thread::id, std::shared_ptr<ThreadQueue>>;
    return *queues;
}
std::atomic<HWND> g_foreground{nullptr};
} // namespace

std::shared_ptr<ThreadQueue> QueueOf(std::thread::id thread)
{
    std::lock_guard lock(g_queuesLock);
    auto& q = Queues()[thread];
    if (!q)
        q = std::make_shared<ThreadQueue>();
    return q;
}

ThreadQueue& CurrentQueue()
{
    thread_local std::shared_ptr<ThreadQueue> mine = QueueOf(std::this_thread::get_id());
    return *mine;
}

void ForgetWindow(HWND hwnd)
{
    std::vector<std::shared_ptr<ThreadQueue>> all;
    {
        std::lock_guard lock(g_queuesLock);
        for (auto& [id, q] : Queues())
            all.push_back(q);
    }
    for (auto& q : all)
    {
        std::lock_guard lock(q->lock);
        for (HWND* h : {&q->focus, &q->active, &q->capture, &q->mouseTracked})
            if (*h == hwnd)
                *h = nullptr;
        std::erase_if(q->posted, [&](const MSG& m) { return m.hwnd == hwnd; });
    }
    HWND expected = hwnd;
    g_foreground.compare_exchange_strong(expected, nullptr);
}

void SetForeground(HWND hwnd) { g_foreground = hwnd; }
HWND Foreground() { return g_foreground.load(); }
} // namespace qm::win

using namespace qm::win;

QMAPI HWND WINAPI GetFocus(void) { return CurrentQueue().focus; }

QMAPI HWND WINAPI SetFocus(HWND hWnd)
{
    ThreadQueue& q = CurrentQueue();
    HWND old = q.focus;
    if (hWnd)
    {
        Window* w = Get(hWnd);
        if (!w || !IsWindowEnabled(hWnd))
            return nullptr;
        HWND root = RootOf(hWnd);
        if (GetActiveWindow() != root)
            SetActiveWindow(root);
    }
    if (old == hWnd)
        return old;
    q.focus = hWnd;
    if (old && IsWindow(old))
        SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    if (hWnd && IsWindow(hWnd) && q.focus == hWnd)
        SendMessageW(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

QMAPI HWND WINAPI GetActiveWindow(void) { return CurrentQueue().active; }

QMAPI HWND WINAPI SetActiveWindow(HWND hWnd)
{
    ThreadQueue& q = CurrentQueue();
    HWND old = q.active;
    if (hWnd)
    {
        Window* w = Get(hWnd);
        if (!w)
            return nullptr;
        hWnd = RootOf(hWnd);
    }
    if (old == hWnd)
    {
        if (hWnd)
            PresentActivate(hWnd); // it may have lost the keyboard to another program
        return old;
    }
    q.active = hWnd;
    if (old && IsWindow(old))
    {
        SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hWnd));
        Window* o = Find(old);
        if (o)
            o->needsFrame = true, InvalidateRect(old, nullptr, FALSE);
    }
    if (hWnd)
    {
        SetForeground(hWnd);
        SendMessageW(hWnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
        if (Window* w = Find(hWnd))
            w->needsFrame = true, InvalidateRect(hWnd, nullptr, FALSE);
        PresentActivate(hWnd);
    }
    else if (Foreground() == old)
        SetForeground(nullptr);
    return old;
}

QMAPI HWND WINAPI GetForegroundWindow(void) { return Foreground(); }

QMAPI BOOL WINAPI SetForegroundWindow(HWND hWnd)
{
    if (!Get(hWnd))
        return FALSE;
    SetActiveWindow(hWnd);
    return TRUE;
}

QMAPI HWND WINAPI SetCapture(HWND hWnd)
{
    ThreadQueue& q = CurrentQueue();
    HWND old = q.capture;
    q.capture = hWnd;
    if (old && old != hWnd && IsWindow(old))
        SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hWnd));
    return old;
}

QMAPI BOOL WINAPI ReleaseCapture(void)
{
    ThreadQueue& q = CurrentQueue();
    HWND old = q.capture;
    q.capture = nullptr;
    if (old && IsWindow(old))
        SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

QMAPI HWND WINAPI GetCapture(void) { return CurrentQueue().capture; }
