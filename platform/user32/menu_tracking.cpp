// TrackPopupMenu's loop over a menu window (class "#32768") that takes the mouse (capture)
// and the thread's keys until an item is chosen or the menu is dismissed.
#include <algorithm>
#include <memory>
#include <mutex>

#include "menu_model.h"
#include "qm/windowing.h"
#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 9;
constexpr int kTextLeft = 28;
constexpr int kPadRight = 20;
constexpr COLORREF kHighlight = RGB(204, 232, 255);

// The state of one TrackPopupMenu.
struct Tracking
{
    Menu* menu = nullptr;
    std::vector<RECT> rects; // per item, client coordinates
    int hot = -1;
    bool done = false;
    UINT_PTR chosen = 0;
};

std::vector<Tracking*>& Tracks()
{
    thread_local std::vector<Tracking*> tracks;
    return tracks;
}

LRESULT CALLBACK MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* t = reinterpret_cast<Tracking*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_PAINT && t)
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT all;
        GetClientRect(hwnd, &all);
        FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        for (size_t i = 0; i < t->menu->items.size(); ++i)
        {
            const MenuItem& item = t->menu->items[i];
            RECT r = t->rects[i];
            if (item.flags & MF_SEPARATOR)
            {
                RECT line{r.left + kTextLeft - 4, (r.top + r.bottom) / 2, r.right - 2, (r.top + r.bottom) / 2 + 1};
                HBRUSH b = CreateSolidBrush(RGB(215, 215, 215));
                FillRect(dc, &line, b);
                DeleteObject(b);
                continue;
            }
            if (int(i) == t->hot && Selectable(item))
            {
                HBRUSH b = CreateSolidBrush(kHighlight);
                RECT h{r.left + 2, r.top + 1, r.right - 2, r.bottom - 1};
                FillRect(dc, &h, b);
                DeleteObject(b);
            }
            SetTextColor(dc, Selectable(item) ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT));
            size_t tab = item.text.find(u'\t');
            std::u16string label = item.text.substr(0, tab);
            RECT tr{r.left + kTextLeft, r.top, r.right - kPadRight, r.bottom};
            DrawTextW(dc, label.c_str(), int(label.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            if (tab != std::u16string::npos)
            {
                std::u16string keys = item.text.substr(tab + 1);
                DrawTextW(dc, keys.c_str(), int(keys.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
            }
            if (item.flags & MF_CHECKED)
            {
                RECT cr{r.left + 8, r.top, r.left + kTextLeft, r.bottom};
                DrawTextW(dc, u"\u2713", 1, &cr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            }
        }
        SelectObject(dc, old);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_MOUSEACTIVATE)
        return 3; // MA_NOACTIVATE: the owner stays active
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void EnsureMenuClass()
{
    static std::once_flag once;
    std::call_once(once, [] { RegisterSystemClass(u"#32768", CS_SAVEBITS, MenuWindowProc, nullptr); });
}

int ItemAt(const Tracking& t, POINT client)
{
    for (size_t i = 0; i < t.rects.size(); ++i)
        if (PtInRect(&t.rects[i], client))
            return int(i);
    return -1;
}

void SetHot(HWND hwnd, Tracking& t, int hot)
{
    if (hot == t.hot)
        return;
    t.hot = hot;
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Step(HWND hwnd, Tracking& t, int dir)
{
    int n = int(t.menu->items.size());
    for (int k = 1; k <= n; ++k)
    {
        int i = ((t.hot < 0 ? (dir > 0 ? -1 : 0) : t.hot) + dir * k + n * 2) % n;
        if (Selectable(t.menu->items[size_t(i)]))
        {
            SetHot(hwnd, t, i);
            return;
        }
    }
}

void Choose(Tracking& t, int index)
{
    if (index >= 0 && Selectable(t.menu->items[size_t(index)]))
    {
        t.chosen = t.menu->items[size_t(index)].id;
        t.done = true;
    }
}

// One message of the menu loop; false when it is not the menu's and goes on as usual.
bool MenuMessage(HWND menuWnd, Tracking& t, const MSG& m)
{
    switch (m.message)
    {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP: {
        // Under capture every mouse message is the menu window's, in its client coordinates.
        POINT pt{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
        if (m.hwnd != menuWnd)
        {
            if (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCRBUTTONUP)
                ScreenToClient(menuWnd, &pt);
            else
            {
                ClientToScreen(m.hwnd, &pt);
                ScreenToClient(menuWnd, &pt);
            }
        }
        RECT c;
        GetClientRect(menuWnd, &c);
        bool inside = PtInRect(&c, pt);
        int index = inside ? ItemAt(t, pt) : -1;
        if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE)
            SetHot(menuWnd, t, index);
        else if ((m.message == WM_LBUTTONDOWN || m.message == WM_RBUTTONDOWN || m.message == WM_NCLBUTTONDOWN ||
                  m.message == WM_NCRBUTTONDOWN || m.message == WM_LBUTTONDBLCLK) &&
                 !inside)
            t.done = true; // a click elsewhere dismisses the menu
        else if ((m.message == WM_LBUTTONUP || m.message == WM_RBUTTONUP) && inside)
            Choose(t, index);
        return true;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        switch (m.wParam)
        {
        case VK_ESCAPE:
        case VK_MENU:
            t.done = true;
            break;
        case VK_UP:
            Step(menuWnd, t, -1);
            break;
        case VK_DOWN:
            Step(menuWnd, t, 1);
            break;
        case VK_RETURN:
            if (t.hot >= 0)
                Choose(t, t.hot);
            break;
        default:
            for (size_t i = 0; i < t.menu->items.size(); ++i)
                if (Mnemonic(t.menu->items[i].text) == char16_t(m.wParam))
                {
                    Choose(t, int(i));
                    break;
                }
        }
        return true;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        return true;
    }
    return false;
}

} // namespace

UINT_PTR TrackMenu(Menu* menu, int x, int y, HWND owner)
{
    EnsureMenuClass();
    auto t = std::make_unique<Tracking>();
    t->menu = menu;
    // Layout: one row per item, as wide as the widest text and its shortcut.
    HDC screen = GetDC(owner);
    HGDIOBJ old = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
    int width = 120;
    for (const MenuItem& i : menu->items)
    {
        if (i.flags & MF_SEPARATOR)
            continue;
        RECT r{0, 0, 0, 0};
        DrawTextW(screen, i.text.c_str(), int(i.text.size()), &r, DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
        width = std::max<int>(width, kTextLeft + (r.right - r.left) + 40 + kPadRight);
    }
    SelectObject(screen, old);
    ReleaseDC(owner, screen);
    int top = 2;
    for (const MenuItem& i : menu->items)
    {
        int h = (i.flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
        t->rects.push_back({0, top, width, top + h});
        top += h;
    }
    int height = top + 2 + 2;
    width += 2;
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    x = std::clamp(x, 0, std::max(0, cx - width));
    y = std::clamp(y, 0, std::max(0, cy - height));
    HWND wnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, u"#32768", u"", WS_POPUP | WS_BORDER, x, y, width,
                               height, owner, nullptr, nullptr, nullptr);
    if (!wnd)
        return 0;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(t.get()));
    Tracks().push_back(t.get());
    ShowWindow(wnd, SW_SHOWNA);
    SetCapture(wnd);
    while (!t->done)
    {
        MSG m;
        BOOL got = GetMessageW(&m, nullptr, 0, 0);
        if (got <= 0)
        {
            if (got == 0)
                PostQuitMessage(int(m.wParam)); // the loop outside must see it too
            break;
        }
        if (!MenuMessage(wnd, *t, m))
        {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (!IsWindow(owner))
            break;
    }
    Tracks().pop_back();
    ReleaseCapture();
    DestroyWindow(wnd);
    return t->chosen;
}
} // namespace qm::win

using namespace qm::win;

QMAPI BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT*)
{
    Menu* m = LiveMenu(hMenu);
    if (!m || !Get(hWnd))
    {
        SetLastError(m ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!(uFlags & TPM_NONOTIFY))
        SendMessageW(hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), 0);
    UINT_PTR id = TrackMenu(m, x, y, hWnd);
    if (uFlags & TPM_RETURNCMD)
        return BOOL(id);
    if (id)
        PostMessageW(hWnd, WM_COMMAND, id, 0);
    return id != 0;
}

QMAPI BOOL WINAPI EndMenu(void)
{
    if (Tracks().empty())
        return FALSE;
    Tracks().back()->done = true;
    return TRUE;
}
