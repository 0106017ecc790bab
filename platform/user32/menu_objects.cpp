// Menus: popup menus of strings and separators, their items, and each window's system
// menu.
#include <algorithm>
#include <map>
#include <mutex>
#include <set>

#include "menu_model.h"
#include "window_manager.h"
#include "winbase.h"
#include "winnls.h"

namespace qm::win
{
namespace
{
std::recursive_mutex g_lock;
std::set<Menu*> g_menus;
std::map<HWND, HMENU> g_systemMenus;

MenuItem* ItemOf(Menu* m, UINT item, UINT flags)
{
    if (flags & MF_BYPOSITION)
        return item < m->items.size() ? &m->items[item] : nullptr;
    for (auto& i : m->items)
        if (!(i.flags & MF_SEPARATOR) && i.id == item)
            return &i;
    return nullptr;
}
} // namespace

bool Selectable(const MenuItem& i) { return !(i.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)); }

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

Menu* LiveMenu(HMENU h)
{
    std::lock_guard lock(g_lock);
    auto* m = reinterpret_cast<Menu*>(h);
    return g_menus.count(m) ? m : nullptr;
}

void ShowSystemMenu(HWND hwnd, POINT screenPt)
{
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu)
        return;
    SendMessageW(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    UINT_PTR id = TrackMenu(LiveMenu(menu), screenPt.x, screenPt.y, hwnd);
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
    Menu* m = LiveMenu(hMenu);
    if (!m)
    {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(g_lock);
        g_menus.erase(m);
        std::erase_if(g_systemMenus, [&](const auto& entry) { return entry.second == hMenu; });
    }
    delete m;
    return TRUE;
}

QMAPI BOOL WINAPI IsMenu(HMENU hMenu) { return LiveMenu(hMenu) != nullptr; }

QMAPI BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem)
{
    Menu* m = LiveMenu(hMenu);
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
    return AppendMenuW(hMenu, uFlags, uIDNewItem, WideFromAnsi(lpNewItem).c_str());
}

QMAPI int WINAPI GetMenuItemCount(HMENU hMenu)
{
    Menu* m = LiveMenu(hMenu);
    if (!m)
    {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return int(m->items.size());
}

QMAPI UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos)
{
    Menu* m = LiveMenu(hMenu);
    if (!m || nPos < 0 || size_t(nPos) >= m->items.size() || (m->items[size_t(nPos)].flags & MF_SEPARATOR))
        return UINT(-1);
    return UINT(m->items[size_t(nPos)].id);
}

QMAPI int WINAPI GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags)
{
    Menu* m = LiveMenu(hMenu);
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
    Menu* m = LiveMenu(hMenu);
    MenuItem* item = m ? ItemOf(m, uId, uFlags) : nullptr;
    return item ? item->flags : UINT(-1);
}

QMAPI BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable)
{
    Menu* m = LiveMenu(hMenu);
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
