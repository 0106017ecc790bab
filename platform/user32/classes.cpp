// Window classes: registration per module, the global system classes.
#include <algorithm>
#include <mutex>

#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
std::recursive_mutex g_lock;
std::vector<std::unique_ptr<WindowClass>>& Classes()
{
    static auto* classes = new std::vector<std::unique_ptr<WindowClass>>;
    return *classes;
}
ATOM g_nextAtom = 0xC000;

bool SameName(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z')
            x = static_cast<char16_t>(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z')
            y = static_cast<char16_t>(y - u'A' + u'a');
        if (x != y)
            return false;
    }
    return true;
}

bool Is(const WindowClass& c, LPCWSTR name)
{
    if (IsAtom(name))
        return c.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    return SameName(c.name, name);
}
} // namespace

WindowClass* FindClass(LPCWSTR name, HINSTANCE instance)
{
    if (!name)
        return nullptr;
    std::lock_guard lock(g_lock);
    WindowClass* fallback = nullptr;
    for (auto& c : Classes())
        if (Is(*c, name))
        {
            if (!c->system && c->instance == instance)
                return c.get();
            if (c->system || (c->style & CS_GLOBALCLASS) || !fallback)
                fallback = c.get();
        }
    return fallback;
}

void RegisterSystemClass(const char16_t* name, UINT style, WNDPROC proc, HBRUSH background)
{
    std::lock_guard lock(g_lock);
    for (auto& c : Classes())
        if (c->system && SameName(c->name, name))
            return;
    auto c = std::make_unique<WindowClass>();
    c->name = name;
    c->style = style | CS_GLOBALCLASS;
    c->proc = proc;
    c->background = background;
    c->system = true;
    // The dialog class keeps its predefined atom (WC_DIALOG).
    c->atom = std::u16string(name) == u"#32770" ? 0x8002 : g_nextAtom++;
    Classes().push_back(std::move(c));
}
} // namespace qm::win

using namespace qm::win;

QMAPI ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx)
{
    if (!lpwcx || lpwcx->cbSize != sizeof(WNDCLASSEXW) || !lpwcx->lpszClassName || !lpwcx->lpfnWndProc ||
        (!IsAtom(lpwcx->lpszClassName) && !*lpwcx->lpszClassName))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    EnsureSystemClasses();
    std::lock_guard lock(g_lock);
    for (auto& c : Classes())
        if (!c->system && c->instance == lpwcx->hInstance && Is(*c, lpwcx->lpszClassName))
        {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    auto c = std::make_unique<WindowClass>();
    c->name = IsAtom(lpwcx->lpszClassName) ? u"" : lpwcx->lpszClassName;
    c->style = lpwcx->style;
    c->proc = lpwcx->lpfnWndProc;
    c->wndExtra = lpwcx->cbWndExtra;
    c->instance = lpwcx->hInstance;
    c->cursor = lpwcx->hCursor;
    c->background = lpwcx->hbrBackground;
    c->atom = g_nextAtom++;
    ATOM atom = c->atom;
    Classes().push_back(std::move(c));
    return atom;
}

QMAPI BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance)
{
    std::lock_guard lock(g_lock);
    auto& all = Classes();
    auto it = std::find_if(all.begin(), all.end(), [&](const auto& c) {
        return !c->system && c->instance == hInstance && Is(*c, lpClassName);
    });
    if (it == all.end())
    {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    // Classes stay allocated: windows of the class may still point at them.
    (*it)->name = u"\x1";
    (*it)->atom = 0;
    return TRUE;
}

QMAPI BOOL WINAPI GetClassInfoExW(HINSTANCE hInstance, LPCWSTR lpszClass, LPWNDCLASSEXW lpwcx)
{
    EnsureSystemClasses();
    WindowClass* c = FindClass(lpszClass, hInstance);
    if (!c || !lpwcx)
    {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *lpwcx = {sizeof(WNDCLASSEXW), c->style, c->proc, 0, c->wndExtra, c->instance, nullptr, c->cursor, c->background,
              nullptr, lpszClass, nullptr};
    return c->atom;
}

QMAPI int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount)
{
    Window* w = Get(hWnd);
    if (!w || !lpClassName || nMaxCount <= 0)
        return 0;
    int n = std::min<int>(static_cast<int>(w->cls->name.size()), nMaxCount - 1);
    std::copy_n(w->cls->name.begin(), n, lpClassName);
    lpClassName[n] = 0;
    return n;
}
