// Menus: popup menus of strings and separators, each window's system menu, and
// TrackPopupMenu's loop over a menu window (class "#32768") that takes the mouse (capture)
// and the thread's keys until an item is chosen or the menu is dismissed.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "qm/windowing.h"
#include "window_manager.h"
#include "winbase.h"
#include "winnls.h"

namespace qm::win
{
namespace
{
constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 9;
constexpr int kTextLeft = 28;
constexpr int kPadRight = 20;
constexpr COLORREF kHighlight = RGB(204, 232, 255);

struct MenuItem
{
    UINT flags = 0;
    UINT_PTR id = 0;
    std::u16string text;
};

struct Menu
{
    std::vector<MenuItem> items;
};

std::recursive_mutex g_lock;
std::set<Menu*> g_menus;
std::map<HWND, HMENU> g_systemMenus;

Menu* Live(HMENU h)
{
    std::lock_guard lock(g_lock);
    auto* m = reinterpret_cast<Menu*>(h);
    return g_menus.count(m) ? m : nullptr;
}

MenuItem* ItemOf(Menu* m, UINT item, UINT flags)
{
    if (flags & MF_BYPOSITION)
        return item < m->items.size() ? &m->items[item] : nullptr;
    for (auto& i : m->items)
        if (!(i.flags & MF_SEPARATOR) && i.id == item)
            return &i;
    return nullptr;
}

bool Selectable(const MenuItem& i) { return !(i.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)); }

// The letter after '&' (upper case), 0 when there is none.
char16_t Mnemonic(const std::u16string& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == u'&')
        {
            if (text[i + 1] == u'&')
            {
                ++i;
                continue;
            }
            char16_t c = text[i + 1];
            return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
        }
    return 0;
}

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

UINT_PTR Track(Menu* menu, int x, int y, HWND owner)
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
    HWND previousCapture = SetCapture(wnd);
    (void)previousCapture;
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
} // namespace

void ShowSystemMenu(HWND hwnd, POINT screenPt)
{
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu)
        return;
    SendMessageW(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    UINT_PTR id = Track(Live(menu), screenPt.x, screenPt.y, hwnd);
    if (id && IsWindow(hwnd))
        PostMessageW(hwnd, WM_SYSCOMMAND, id, MAKELPARAM(screenPt.x, screenPt.y));
}

void ForgetSystemMenu(HWND hwnd)
{
    HMENU menu = nullptr;
    {
        std::lock_guard lock(g_lock);
        auto it = g_systemMenus.find(hwnd);
        if (it == g_systemMenus.end())
            return;
        menu = it->second;
        g_systemMenus.erase(it);
    }
    DestroyMenu(menu);
}
} // namespace qm::win

using namespace qm::win;

QMAPI HMENU WINAPI CreatePopupMenu(void)
{
    auto* m = new Menu;
    std::lock_guard lock(g_lock);
    g_menus.insert(m);
    return reinterpret_cast<HMENU>(m);
}

QMAPI BOOL WINAPI DestroyMenu(HMENU hMenu)
{
    Menu* m = Live(hMenu);
    if (!m)
    {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(g_lock);
        g_menus.erase(m);
        for (auto it = g_systemMenus.begin(); it != g_systemMenus.end(); ++it)
            if (it->second == hMenu)
            {
                g_systemMenus.erase(it);
                break;
            }
    }
    delete m;
    return TRUE;
}

QMAPI BOOL WINAPI IsMenu(HMENU hMenu) { return Live(hMenu) != nullptr; }

QMAPI BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem)
{
    Menu* m = Live(hMenu);
    if (!m)
    {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (uFlags & MF_POPUP)
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED); // no submenus here
        return FALSE;
    }
    MenuItem item;
    item.flags = uFlags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_CHECKED);
    item.id = uIDNewItem;
    if (!(uFlags & MF_SEPARATOR))
        item.text = WideOrEmpty(lpNewItem);
    std::lock_guard lock(g_lock);
    m->items.push_back(std::move(item));
    return TRUE;
}

QMAPI BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem)
{
    if ((uFlags & MF_SEPARATOR) || !lpNewItem)
        return AppendMenuW(hMenu, uFlags, uIDNewItem, nullptr);
    int n = MultiByteToWideChar(CP_ACP, 0, lpNewItem, -1, nullptr, 0);
    std::u16string text(size_t(n > 0 ? n : 1), u'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, lpNewItem, -1, text.data(), n);
    return AppendMenuW(hMenu, uFlags, uIDNewItem, text.c_str());
}

QMAPI int WINAPI GetMenuItemCount(HMENU hMenu)
{
    Menu* m = Live(hMenu);
    if (!m)
    {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return int(m->items.size());
}

QMAPI UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos)
{
    Menu* m = Live(hMenu);
    if (!m || nPos < 0 || size_t(nPos) >= m->items.size() || (m->items[size_t(nPos)].flags & MF_SEPARATOR))
        return UINT(-1);
    return UINT(m->items[size_t(nPos)].id);
}

QMAPI int WINAPI GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags)
{
    Menu* m = Live(hMenu);
    MenuItem* item = m ? ItemOf(m, uIDItem, flags) : nullptr;
    if (!item)
        return 0;
    int n = int(item->text.size());
    if (!lpString || cchMax <= 0)
        return n;
    n = std::min(n, cchMax - 1);
    std::copy_n(item->text.begin(), n, lpString);
    lpString[n] = 0;
    return n;
}

QMAPI UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags)
{
    Menu* m = Live(hMenu);
    MenuItem* item = m ? ItemOf(m, uId, uFlags) : nullptr;
    return item ? item->flags : UINT(-1);
}

QMAPI BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable)
{
    Menu* m = Live(hMenu);
    MenuItem* item = m ? ItemOf(m, uIDEnableItem, uEnable) : nullptr;
    if (!item)
        return -1;
    UINT previous = item->flags & (MF_GRAYED | MF_DISABLED);
    item->flags = (item->flags & ~UINT(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return BOOL(previous);
}

QMAPI HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert)
{
    Window* w = Get(hWnd);
    if (!w)
        return nullptr;
    if (bRevert)
    {
        ForgetSystemMenu(hWnd);
        return nullptr;
    }
    {
        std::lock_guard lock(g_lock);
        if (auto it = g_systemMenus.find(hWnd); it != g_systemMenus.end())
            return it->second;
    }
    if (!(w->style & WS_SYSMENU))
        return nullptr;
    // Only what this platform's windows can do: close.
    HMENU menu = CreatePopupMenu();
    bool chinese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
    AppendMenuW(menu, MF_STRING, SC_CLOSE, chinese ? u"关闭(&C)\tAlt+F4" : u"&Close\tAlt+F4");
    std::lock_guard lock(g_lock);
    g_systemMenus[hWnd] = menu;
    return menu;
}

QMAPI BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT*)
{
    Menu* m = Live(hMenu);
    if (!m || !Get(hWnd))
    {
        SetLastError(m ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!(uFlags & TPM_NONOTIFY))
        SendMessageW(hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), 0);
    UINT_PTR id = Track(m, x, y, hWnd);
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
