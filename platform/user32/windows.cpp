// Window records: creation and destruction, the hierarchy, geometry, styles and the
// window's long values (subclassing through GWLP_WNDPROC).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "qm/windowing.h"
#include "thread_state.h"
#include "window_manager.h"
#include "winbase.h"
#include "winnls.h"

namespace qm::win
{
namespace
{
std::recursive_mutex g_lock;
std::unordered_map<HWND, std::unique_ptr<Window>>& Table()
{
    static auto* table = new std::unordered_map<HWND, std::unique_ptr<Window>>;
    return *table;
}
std::vector<HWND>& TopLevels()
{
    static auto* list = new std::vector<HWND>;
    return *list;
}
uintptr_t g_nextHandle = 0x10010;

int FrameThickness(const Window* w)
{
    int frame = 0;
    if (w->style & WS_THICKFRAME)
        frame = GetSystemMetrics(SM_CXFRAME);
    else if ((w->style & WS_DLGFRAME) || (w->exStyle & WS_EX_DLGMODALFRAME))
        frame = GetSystemMetrics(SM_CXDLGFRAME);
    else if (w->style & WS_BORDER)
        frame = GetSystemMetrics(SM_CXBORDER);
    if (w->exStyle & WS_EX_CLIENTEDGE)
        frame += GetSystemMetrics(SM_CXEDGE);
    if (w->exStyle & WS_EX_STATICEDGE)
        frame += GetSystemMetrics(SM_CXBORDER);
    return frame;
}
} // namespace

std::u16string WideOrEmpty(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

std::u16string WideFromAnsi(LPCSTR s)
{
    int n = s ? MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0) : 0;
    if (n <= 0)
        return {};
    std::u16string out(size_t(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, out.data(), n);
    out.resize(size_t(n - 1));
    return out;
}
bool IsAtom(LPCWSTR s) { return IS_INTRESOURCE(s); }

Window* Find(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    std::lock_guard lock(g_lock);
    auto it = Table().find(hwnd);
    return it == Table().end() ? nullptr : it->second.get();
}

Window* Get(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::vector<HWND> TopLevelWindows()
{
    std::lock_guard lock(g_lock);
    return TopLevels();
}

bool IsTopLevel(const Window* w) { return !(w->style & WS_CHILD) || !w->parent; }

HWND RootOf(HWND hwnd)
{
    Window* w = Find(hwnd);
    while (w && !IsTopLevel(w))
        w = Find(w->parent);
    return w ? w->handle : nullptr;
}

bool HasCaption(const Window* w) { return (w->style & WS_CAPTION) == WS_CAPTION; }

RECT ClientInWindow(const Window* w)
{
    int f = FrameThickness(w);
    RECT r{f, f, w->rect.right - w->rect.left - f, w->rect.bottom - w->rect.top - f};
    if (HasCaption(w))
        r.top += GetSystemMetrics(SM_CYCAPTION);
    if (w->vscroll)
        r.right -= GetSystemMetrics(SM_CXVSCROLL);
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

RECT CloseBoxInWindow(const Window* w)
{
    int f = FrameThickness(w);
    int cap = GetSystemMetrics(SM_CYCAPTION);
    int right = w->rect.right - w->rect.left - f - 2;
    return {right - cap + 4, f + 2, right, f + cap - 2};
}

RECT ScreenRect(const Window* w)
{
    if (IsTopLevel(w))
        return w->rect;
    Window* p = Find(w->parent);
    POINT o = p ? ClientOriginOnScreen(p) : POINT{0, 0};
    RECT r = w->rect;
    OffsetRect(&r, o.x, o.y);
    return r;
}

POINT ClientOriginOnScreen(const Window* w)
{
    RECT s = ScreenRect(w);
    RECT c = ClientInWindow(w);
    return {s.left + c.left, s.top + c.top};
}

size_t LiveWindows()
{
    std::lock_guard lock(g_lock);
    return Table().size();
}

static void Unlink(Window* w)
{
    std::lock_guard lock(g_lock);
    if (Window* p = Find(w->parent); p && !IsTopLevel(w))
        std::erase(p->children, w->handle);
    std::erase(TopLevels(), w->handle);
}

static void Destroy(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w || w->destroying)
        return;
    w->destroying = true;
    // Owned top-level windows go first.
    for (HWND other : TopLevelWindows())
        if (Window* o = Find(other); o && o->owner == hwnd)
            DestroyWindow(other);
    ShowWindow(hwnd, SW_HIDE);
    ClearInputState(hwnd);
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> kids = Find(hwnd)->children;
    for (HWND child : kids)
        Destroy(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    w = Find(hwnd);
    ForgetWindow(hwnd);
    ForgetSystemMenu(hwnd);
    Unlink(w);
    FreeSurface(w);
    if (w->freeControl)
        w->freeControl(w->control);
    if (w->dialog && w->dialog->ownsFont)
        DeleteObject(w->dialog->font);
    PresentHide(hwnd);
    std::unique_ptr<Window> doomed;
    {
        std::lock_guard lock(g_lock);
        auto it = Table().find(hwnd);
        doomed = std::move(it->second);
        Table().erase(it);
    }
}
} // namespace qm::win

using namespace qm::win;

QMAPI HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X,
                                  int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                  LPVOID lpParam)
{
    EnsureSystemClasses();
    WindowClass* cls = FindClass(lpClassName, hInstance);
    if (!cls)
    {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    Window* parent = nullptr;
    if (hWndParent && !(parent = Find(hWndParent)))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((dwStyle & WS_CHILD) && !parent)
    {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    Window* raw = w.get();
    w->cls = cls;
    w->proc = cls->proc;
    w->style = dwStyle;
    w->exStyle = dwExStyle;
    w->instance = hInstance;
    w->extra.assign(std::max(cls->wndExtra, 0), 0);
    w->thread = std::this_thread::get_id();
    if (X == CW_USEDEFAULT)
        X = Y = 0;
    if (nWidth == CW_USEDEFAULT)
        nWidth = nHeight = 0;
    w->rect = {X, Y, X + std::max(nWidth, 0), Y + std::max(nHeight, 0)};
    if (dwStyle & WS_CHILD)
    {
        w->parent = hWndParent;
        w->id = reinterpret_cast<LONG_PTR>(hMenu);
    }
    else
        w->owner = parent ? RootOf(hWndParent) : nullptr;
    {
        std::lock_guard lock(g_lock);
        w->handle = reinterpret_cast<HWND>(g_nextHandle);
        g_nextHandle += 0x10;
        HWND h = w->handle;
        Table().emplace(h, std::move(w));
        if (dwStyle & WS_CHILD)
            parent->children.push_back(h);
        else
            TopLevels().insert(TopLevels().begin(), h);
    }
    if (!(dwStyle & WS_CHILD))
        StartBroadcastListener();
    HWND hwnd = raw->handle;
    CREATESTRUCTW cs{lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
                     lpWindowName, lpClassName, dwExStyle};
    bool visible = dwStyle & WS_VISIBLE;
    raw->style &= ~WS_VISIBLE;
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1)
    {
        DestroyWindow(hwnd);
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS == GetLastError() ? ERROR_CANNOT_FIND_WND_CLASS : GetLastError());
        return nullptr;
    }
    if (!Find(hwnd))
        return nullptr;
    RECT c = ClientInWindow(raw);
    SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(c.right - c.left, c.bottom - c.top));
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(raw->rect.left, raw->rect.top));
    if (visible)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

QMAPI BOOL WINAPI DestroyWindow(HWND hWnd)
{
    if (!Get(hWnd))
        return FALSE;
    Destroy(hWnd);
    return TRUE;
}

QMAPI BOOL WINAPI IsWindow(HWND hWnd)
{
    Window* w = Find(hWnd);
    return w && !w->destroying;
}

QMAPI LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex)
{
    Window* w = Get(hWnd);
    if (!w)
        return 0;
    switch (nIndex)
    {
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(IsTopLevel(w) ? w->owner : w->parent);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    }
    if (w->dialog && nIndex >= 0 && nIndex < static_cast<int>(DWLP_USER + sizeof(LONG_PTR)))
    {
        if (nIndex == DWLP_MSGRESULT)
            return w->dialog->msgResult;
        if (nIndex == static_cast<int>(DWLP_DLGPROC))
            return reinterpret_cast<LONG_PTR>(w->dialog->proc);
        if (nIndex == static_cast<int>(DWLP_USER))
            return w->dialog->user;
    }
    if (nIndex >= 0 && nIndex + sizeof(LONG_PTR) <= w->extra.size())
    {
        LONG_PTR v;
        memcpy(&v, w->extra.data() + nIndex, sizeof v);
        return v;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

QMAPI LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    Window* w = Get(hWnd);
    if (!w)
        return 0;
    LONG_PTR old = 0;
    switch (nIndex)
    {
    case GWL_STYLE: {
        old = static_cast<LONG>(w->style);
        DWORD keepVisible = w->style & WS_VISIBLE;
        w->style = (static_cast<DWORD>(dwNewLong) & ~WS_VISIBLE) | keepVisible;
        return old;
    }
    case GWL_EXSTYLE:
        old = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(dwNewLong);
        return old;
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
        return old;
    case GWLP_ID:
        old = w->id;
        w->id = dwNewLong;
        return old;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = dwNewLong;
        return old;
    }
    if (w->dialog && nIndex >= 0 && nIndex < static_cast<int>(DWLP_USER + sizeof(LONG_PTR)))
    {
        if (nIndex == DWLP_MSGRESULT)
            std::swap(old, w->dialog->msgResult), w->dialog->msgResult = dwNewLong;
        else if (nIndex == static_cast<int>(DWLP_DLGPROC))
        {
            old = reinterpret_cast<LONG_PTR>(w->dialog->proc);
            w->dialog->proc = reinterpret_cast<DLGPROC>(dwNewLong);
        }
        else if (nIndex == static_cast<int>(DWLP_USER))
        {
            old = w->dialog->user;
            w->dialog->user = dwNewLong;
        }
        return old;
    }
    if (nIndex >= 0 && nIndex + sizeof(LONG_PTR) <= w->extra.size())
    {
        memcpy(&old, w->extra.data() + nIndex, sizeof old);
        memcpy(w->extra.data() + nIndex, &dwNewLong, sizeof dwNewLong);
        return old;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

QMAPI LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex) { return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex)); }
QMAPI LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong)
{
    return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, dwNewLong));
}

QMAPI BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    for (Window* w = Find(hWnd); w; w = IsTopLevel(w) ? nullptr : Find(w->parent))
        if (!(w->style & WS_VISIBLE))
            return FALSE;
    return Find(hWnd) != nullptr;
}

QMAPI BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Window* w = Get(hWnd);
    if (!w)
        return FALSE;
    BOOL was = (w->style & WS_VISIBLE) != 0;
    bool show = nCmdShow != SW_HIDE;
    if (show == static_cast<bool>(was))
        return was;
    SendMessageW(hWnd, WM_SHOWWINDOW, show, 0);
    w = Find(hWnd);
    if (!w)
        return was;
    if (show)
    {
        w->style |= WS_VISIBLE;
        InvalidateWindowTree(hWnd);
        if (IsTopLevel(w))
        {
            PresentWindow(hWnd);
            if (nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE && w->cls->name != u"tooltips_class32")
                SetActiveWindow(hWnd);
        }
    }
    else
    {
        w->style &= ~WS_VISIBLE;
        if (!IsTopLevel(w))
        {
            if (Window* p = Find(w->parent))
            {
                RECT r = w->rect;
                InvalidateRect(p->handle, &r, TRUE);
            }
        }
        else
        {
            PresentHide(hWnd);
            if (GetActiveWindow() == hWnd)
                SetActiveWindow(w->owner && IsWindowEnabled(w->owner) ? w->owner : nullptr);
        }
        HWND focus = GetFocus();
        if (focus && (focus == hWnd || IsChild(hWnd, focus)))
            SetFocus(nullptr);
    }
    return was;
}

QMAPI BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    Window* w = Get(hWnd);
    if (!w)
        return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
    if (bEnable)
        w->style &= ~WS_DISABLED;
    else
    {
        w->style |= WS_DISABLED;
        HWND focus = GetFocus();
        if (focus && (focus == hWnd || IsChild(hWnd, focus)))
            SetFocus(nullptr);
    }
    if (static_cast<bool>(wasDisabled) == static_cast<bool>(bEnable))
    {
        SendMessageW(hWnd, WM_ENABLE, bEnable, 0);
        InvalidateRect(hWnd, nullptr, TRUE);
    }
    return wasDisabled;
}

QMAPI BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    Window* w = Find(hWnd);
    return w && !(w->style & WS_DISABLED);
}

QMAPI HWND WINAPI GetParent(HWND hWnd)
{
    Window* w = Get(hWnd);
    if (!w)
        return nullptr;
    if (w->style & WS_CHILD)
        return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

QMAPI HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags)
{
    Window* w = Get(hwnd);
    if (!w)
        return nullptr;
    switch (gaFlags)
    {
    case GA_PARENT:
        return IsTopLevel(w) ? GetDesktopWindow() : w->parent;
    case GA_ROOT:
        return RootOf(hwnd);
    case GA_ROOTOWNER: {
        HWND root = RootOf(hwnd);
        while (Window* r = Find(root))
        {
            if (!r->owner)
                break;
            root = r->owner;
        }
        return root;
    }
    }
    return nullptr;
}

QMAPI HWND WINAPI GetWindow(HWND hWnd, UINT uCmd)
{
    Window* w = Get(hWnd);
    if (!w)
        return nullptr;
    if (uCmd == GW_CHILD)
        return w->children.empty() ? nullptr : w->children.front();
    if (uCmd == GW_OWNER)
        return IsTopLevel(w) ? w->owner : nullptr;
    std::vector<HWND> siblings = IsTopLevel(w) ? TopLevelWindows() : Find(w->parent)->children;
    auto it = std::find(siblings.begin(), siblings.end(), hWnd);
    switch (uCmd)
    {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return it + 1 < siblings.end() ? *(it + 1) : nullptr;
    case GW_HWNDPREV:
        return it > siblings.begin() ? *(it - 1) : nullptr;
    }
    return nullptr;
}

QMAPI BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd)
{
    Window* w = Find(hWnd);
    while (w && !IsTopLevel(w))
    {
        if (w->parent == hWndParent)
            return TRUE;
        w = Find(w->parent);
    }
    return FALSE;
}

QMAPI HWND WINAPI GetDesktopWindow(void) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10000)); }

QMAPI BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    if (hWnd == GetDesktopWindow() && lpRect)
    {
        *lpRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return TRUE;
    }
    Window* w = Get(hWnd);
    if (!w || !lpRect)
        return FALSE;
    *lpRect = ScreenRect(w);
    return TRUE;
}

QMAPI BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    if (hWnd == GetDesktopWindow() && lpRect)
        return GetWindowRect(hWnd, lpRect);
    Window* w = Get(hWnd);
    if (!w || !lpRect)
        return FALSE;
    RECT c = ClientInWindow(w);
    *lpRect = {0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

QMAPI BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint)
{
    Window* w = Get(hWnd);
    if (!w || !lpPoint)
        return FALSE;
    POINT o = ClientOriginOnScreen(w);
    lpPoint->x -= o.x;
    lpPoint->y -= o.y;
    return TRUE;
}

QMAPI BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint)
{
    Window* w = Get(hWnd);
    if (!w || !lpPoint)
        return FALSE;
    POINT o = ClientOriginOnScreen(w);
    lpPoint->x += o.x;
    lpPoint->y += o.y;
    return TRUE;
}

QMAPI int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints)
{
    POINT from{0, 0}, to{0, 0};
    if (hWndFrom && hWndFrom != GetDesktopWindow())
    {
        Window* w = Get(hWndFrom);
        if (!w)
            return 0;
        from = ClientOriginOnScreen(w);
    }
    if (hWndTo && hWndTo != GetDesktopWindow())
    {
        Window* w = Get(hWndTo);
        if (!w)
            return 0;
        to = ClientOriginOnScreen(w);
    }
    int dx = from.x - to.x, dy = from.y - to.y;
    for (UINT i = 0; lpPoints && i < cPoints; ++i)
    {
        lpPoints[i].x += dx;
        lpPoints[i].y += dy;
    }
    SetLastError(0);
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

QMAPI BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle)
{
    if (!lpRect)
        return FALSE;
    Window probe;
    probe.style = dwStyle;
    probe.exStyle = dwExStyle;
    int f = FrameThickness(&probe);
    lpRect->left -= f;
    lpRect->right += f;
    lpRect->top -= f + (HasCaption(&probe) ? GetSystemMetrics(SM_CYCAPTION) : 0);
    lpRect->bottom += f;
    return TRUE;
}

QMAPI BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags)
{
    Window* w = Get(hWnd);
    if (!w)
        return FALSE;
    RECT old = w->rect;
    RECT now = old;
    if (!(uFlags & SWP_NOMOVE))
        OffsetRect(&now, X - old.left, Y - old.top);
    if (!(uFlags & SWP_NOSIZE))
    {
        now.right = now.left + std::max(cx, 0);
        now.bottom = now.top + std::max(cy, 0);
    }
    const bool toTop = hWndInsertAfter == HWND_TOP || hWndInsertAfter == HWND_TOPMOST ||
                       hWndInsertAfter == HWND_NOTOPMOST;
    if (!(uFlags & SWP_NOZORDER))
    {
        std::lock_guard lock(g_lock);
        std::vector<HWND>& list = IsTopLevel(w) ? TopLevels() : Find(w->parent)->children;
        std::erase(list, hWnd);
        if (hWndInsertAfter == HWND_TOPMOST)
            w->exStyle |= WS_EX_TOPMOST;
        else if (hWndInsertAfter == HWND_NOTOPMOST)
            w->exStyle &= ~WS_EX_TOPMOST;
        if (hWndInsertAfter == HWND_BOTTOM)
            list.push_back(hWnd);
        else if (toTop)
            list.insert(list.begin(), hWnd);
        else
        {
            auto it = std::find(list.begin(), list.end(), hWndInsertAfter);
            list.insert(it == list.end() ? list.begin() : it + 1, hWnd);
        }
    }
    if (!(uFlags & SWP_NOZORDER) && IsTopLevel(w) && toTop)
        PresentRaise(hWnd);
    bool moved = now.left != old.left || now.top != old.top;
    bool sized = (now.right - now.left) != (old.right - old.left) || (now.bottom - now.top) != (old.bottom - old.top);
    if (moved || sized)
    {
        if (!IsTopLevel(w))
            if (Window* p = Find(w->parent))
                InvalidateRect(p->handle, &old, TRUE);
        w->rect = now;
        if (sized && IsTopLevel(w))
            FreeSurface(w);
        InvalidateWindowTree(hWnd);
        if (sized)
        {
            RECT c = ClientInWindow(w);
            SendMessageW(hWnd, WM_SIZE, 0, MAKELPARAM(c.right - c.left, c.bottom - c.top));
        }
        if (moved)
            SendMessageW(hWnd, WM_MOVE, 0, MAKELPARAM(now.left, now.top));
        if (IsTopLevel(w) && IsWindowVisible(hWnd))
            PresentWindow(hWnd);
    }
    if (uFlags & SWP_SHOWWINDOW)
        ShowWindow(hWnd, (uFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    else if (uFlags & SWP_HIDEWINDOW)
        ShowWindow(hWnd, SW_HIDE);
    else if (!(uFlags & SWP_NOACTIVATE) && IsTopLevel(w) && IsWindowVisible(hWnd))
        SetActiveWindow(hWnd);
    return TRUE;
}

QMAPI BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint)
{
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

QMAPI HWND WINAPI WindowFromPoint(POINT pt)
{
    for (HWND top : TopLevelWindows())
    {
        Window* w = Find(top);
        if (!w || !(w->style & WS_VISIBLE) || !PtInRect(&w->rect, pt))
            continue;
        if (w->exStyle & WS_EX_TRANSPARENT)
            continue;
        HWND hit = top;
        for (bool descended = true; descended;)
        {
            descended = false;
            Window* cur = Find(hit);
            POINT o = ClientOriginOnScreen(cur);
            POINT local{pt.x - o.x, pt.y - o.y};
            RECT c = ClientInWindow(cur);
            if (local.x < 0 || local.y < 0 || local.x >= c.right - c.left || local.y >= c.bottom - c.top)
                break;
            for (HWND child : cur->children)
            {
                Window* k = Find(child);
                // Static controls without SS_NOTIFY let the mouse through, as their
                // WM_NCHITTEST answers HTTRANSPARENT on Windows.
                bool passThrough = k && k->cls->system && k->cls->name == u"Static" && !(k->style & SS_NOTIFY);
                if (k && (k->style & WS_VISIBLE) && PtInRect(&k->rect, local) &&
                    !(k->exStyle & WS_EX_TRANSPARENT) && !passThrough)
                {
                    hit = child;
                    descended = true;
                    break;
                }
            }
        }
        return hit;
    }
    return nullptr;
}

QMAPI BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
    if (!Get(hWnd))
        return FALSE;
    return static_cast<BOOL>(SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

QMAPI int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
    if (!Get(hWnd) || !lpString || nMaxCount <= 0)
        return 0;
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, nMaxCount, reinterpret_cast<LPARAM>(lpString)));
}

QMAPI int WINAPI GetWindowTextLengthW(HWND hWnd)
{
    if (!Get(hWnd))
        return 0;
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}
