// Mouse and keyboard input: the cursor, injected events turned into messages when the
// thread takes them, mouse-leave tracking, and the idle hook of modal loops.
#include <atomic>
#include <mutex>

#include "qm/windowing.h"
#include "thread_state.h"
#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
std::mutex g_cursorLock;
bool g_leftDown = false;

thread_local IdleHook t_idleHook;

// Which keys are down, as the keyboard last reported them.
std::atomic<bool> g_keysDown[256];
} // namespace

void SetKeyDown(UINT vk, bool down)
{
    if (vk < 256)
        g_keysDown[vk] = down;
}

void QueueInput(const InputEvent& e, HWND target)
{
    Window* w = Find(target);
    auto q = QueueOf(w ? w->thread : std::this_thread::get_id());
    {
        std::lock_guard lock(q->lock);
        q->input.push_back(e);
    }
    Wake(*q);
}

namespace
{
void Queue(const InputEvent& e, HWND target) { QueueInput(e, target); }

void Deliver(HWND target, UINT msg, WPARAM wParam, POINT pt, bool client)
{
    LPARAM lp;
    if (client)
    {
        POINT local = pt;
        ScreenToClient(target, &local);
        lp = MAKELPARAM(static_cast<WORD>(local.x), static_cast<WORD>(local.y));
    }
    else
        lp = MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y));
    PostTo(target, msg, wParam, lp);
}

bool InClient(HWND hwnd, POINT pt)
{
    Window* w = Find(hwnd);
    if (!w)
        return false;
    POINT o = ClientOriginOnScreen(w);
    RECT c = ClientInWindow(w);
    return pt.x >= o.x && pt.y >= o.y && pt.x < o.x + (c.right - c.left) && pt.y < o.y + (c.bottom - c.top);
}

// Mouse input goes nowhere while the window or its top-level window is disabled (a
// modal dialog's owner).
bool Accepts(HWND hwnd)
{
    return hwnd && IsWindowEnabled(hwnd) && IsWindowEnabled(RootOf(hwnd));
}
} // namespace

POINT& Cursor()
{
    static POINT cursor{0, 0};
    return cursor;
}

// Turns one input event into messages on the thread's queue; false when there is none.
bool TakeInputMessage(ThreadQueue& q)
{
    InputEvent e;
    {
        std::lock_guard lock(q.lock);
        if (q.input.empty())
            return false;
        e = q.input.front();
        q.input.pop_front();
    }
    if (e.kind == InputKind::KeyDown || e.kind == InputKind::KeyUp)
    {
        SetKeyDown(e.vk, e.kind == InputKind::KeyDown);
        HWND target = q.focus ? q.focus : q.active;
        // With Alt held (and Alt itself) the keys are system keys, bit 29 their context code.
        bool sys = e.alt || e.vk == VK_MENU;
        UINT msg = e.kind == InputKind::KeyDown ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
        LPARAM lp = e.kind == InputKind::KeyDown ? 1 : static_cast<LPARAM>(0xC0000001u);
        if (e.alt)
            lp |= LPARAM(1) << 29;
        if (target && IsWindow(target))
            PostTo(target, msg, e.vk, lp);
        return true;
    }
    {
        std::lock_guard lock(g_cursorLock);
        Cursor() = e.pt;
    }
    HWND target = q.capture ? q.capture : WindowFromPoint(e.pt);
    if (q.mouseTracked && (q.mouseTracked != target || !InClient(q.mouseTracked, e.pt)))
    {
        PostTo(q.mouseTracked, WM_MOUSELEAVE, 0, 0);
        q.mouseTracked = nullptr;
    }
    if (!Accepts(target))
        return true;
    bool client = q.capture ? true : InClient(target, e.pt);
    LRESULT hit = HTCLIENT;
    if (!client)
        hit = SendMessageW(target, WM_NCHITTEST, 0,
                           MAKELPARAM(static_cast<WORD>(e.pt.x), static_cast<WORD>(e.pt.y)));
    if (e.kind == InputKind::Down || e.kind == InputKind::SecondDown || e.kind == InputKind::RightDown)
    {
        HWND root = RootOf(target);
        if (root && GetActiveWindow() != root)
            SetActiveWindow(root);
    }
    UINT msg = 0;
    switch (e.kind)
    {
    case InputKind::Move:
        msg = client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
        break;
    case InputKind::Down:
        g_leftDown = true;
        msg = client ? WM_LBUTTONDOWN : WM_NCLBUTTONDOWN;
        break;
    case InputKind::SecondDown: {
        g_leftDown = true;
        Window* w = Find(target);
        bool dbl = w && (w->cls->style & CS_DBLCLKS);
        msg = client ? (dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_NCLBUTTONDOWN;
        break;
    }
    case InputKind::Up:
        g_leftDown = false;
        msg = client ? WM_LBUTTONUP : WM_NCLBUTTONUP;
        break;
    case InputKind::RightDown:
        msg = client ? WM_RBUTTONDOWN : WM_NCRBUTTONDOWN;
        break;
    case InputKind::RightUp:
        msg = client ? WM_RBUTTONUP : WM_NCRBUTTONUP;
        break;
    default:
        return true;
    }
    Deliver(target, msg, client ? (g_leftDown ? MK_LBUTTON : 0) : static_cast<WPARAM>(hit), e.pt, client);
    return true;
}

void ClearInputState(HWND hwnd)
{
    ThreadQueue& q = CurrentQueue();
    if (q.capture == hwnd)
        q.capture = nullptr;
    if (q.mouseTracked == hwnd)
        q.mouseTracked = nullptr;
}

bool HasIdleHook() { return static_cast<bool>(t_idleHook); }

void RunIdleHook(HWND dialog)
{
    IdleHook hook = t_idleHook; // the hook may replace itself
    if (hook && !hook(dialog))
        t_idleHook = nullptr;
}

void SetIdleHook(IdleHook hook) { t_idleHook = std::move(hook); }

void InjectMouseMove(int x, int y)
{
    POINT pt{x, y};
    Queue({InputKind::Move, pt}, WindowFromPoint(pt));
}

void InjectClick(int x, int y)
{
    POINT pt{x, y};
    HWND target = WindowFromPoint(pt);
    Queue({InputKind::Move, pt}, target);
    Queue({InputKind::Down, pt}, target);
    Queue({InputKind::Up, pt}, target);
}

void InjectDoubleClick(int x, int y)
{
    POINT pt{x, y};
    HWND target = WindowFromPoint(pt);
    Queue({InputKind::Move, pt}, target);
    Queue({InputKind::Down, pt}, target);
    Queue({InputKind::Up, pt}, target);
    Queue({InputKind::SecondDown, pt}, target);
    Queue({InputKind::Up, pt}, target);
}

void InjectRightClick(int x, int y)
{
    POINT pt{x, y};
    HWND target = WindowFromPoint(pt);
    Queue({InputKind::Move, pt}, target);
    Queue({InputKind::RightDown, pt}, target);
    Queue({InputKind::RightUp, pt}, target);
}

void InjectSysKey(UINT vk)
{
    HWND target = GetActiveWindow();
    Queue({InputKind::KeyDown, {}, vk, nullptr, true}, target);
    Queue({InputKind::KeyUp, {}, vk, nullptr, true}, target);
}

void InjectKey(UINT vk)
{
    HWND target = GetActiveWindow();
    Queue({InputKind::KeyDown, {}, vk}, target);
    Queue({InputKind::KeyUp, {}, vk}, target);
}

void HoldKey(UINT vk, bool down)
{
    SetKeyDown(vk, down);
}

void InjectCloseBox(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        return;
    RECT box = CloseBoxInWindow(w);
    InjectClick(w->rect.left + (box.left + box.right) / 2, w->rect.top + (box.top + box.bottom) / 2);
}

POINT ClientPointToScreen(HWND hwnd, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    return p;
}
} // namespace qm::win

using namespace qm::win;

QMAPI BOOL WINAPI GetCursorPos(LPPOINT lpPoint)
{
    if (!lpPoint)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_cursorLock);
    *lpPoint = Cursor();
    return TRUE;
}

QMAPI BOOL WINAPI SetCursorPos(int X, int Y)
{
    InjectMouseMove(X, Y);
    return TRUE;
}

QMAPI UINT WINAPI GetDoubleClickTime(void) { return 500; }

QMAPI SHORT WINAPI GetKeyState(int nVirtKey)
{
    if (nVirtKey == VK_LBUTTON && g_leftDown)
        return static_cast<SHORT>(0x8000);
    if (nVirtKey > 0 && nVirtKey < 256 && g_keysDown[nVirtKey])
        return static_cast<SHORT>(0x8000);
    return 0;
}

QMAPI SHORT WINAPI GetAsyncKeyState(int vKey) { return GetKeyState(vKey); }

QMAPI BOOL WINAPI TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack)
{
    if (!lpEventTrack || lpEventTrack->cbSize != sizeof(TRACKMOUSEEVENT))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ThreadQueue& q = CurrentQueue();
    if (lpEventTrack->dwFlags & TME_QUERY)
    {
        *lpEventTrack = {sizeof(TRACKMOUSEEVENT), q.mouseTracked ? static_cast<DWORD>(TME_LEAVE) : 0u,
                         q.mouseTracked, 0};
        return TRUE;
    }
    if (!Get(lpEventTrack->hwndTrack))
        return FALSE;
    if (!(lpEventTrack->dwFlags & TME_LEAVE))
        return TRUE;
    if (lpEventTrack->dwFlags & TME_CANCEL)
    {
        if (q.mouseTracked == lpEventTrack->hwndTrack)
            q.mouseTracked = nullptr;
        return TRUE;
    }
    POINT pt;
    GetCursorPos(&pt);
    if (WindowFromPoint(pt) != lpEventTrack->hwndTrack || !InClient(lpEventTrack->hwndTrack, pt))
        PostTo(lpEventTrack->hwndTrack, WM_MOUSELEAVE, 0, 0);
    else
        q.mouseTracked = lpEventTrack->hwndTrack;
    return TRUE;
}
