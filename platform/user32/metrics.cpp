// System metrics and colours, the screen size, and rectangle helpers.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "gdi_objects.h"
#include "qm/windowing.h"
#include "window_manager.h"
#include "winbase.h"
#include "winreg.h"

namespace qm::win
{
bool PresentScreenSize(SIZE* size);

namespace
{
std::atomic<int> g_screenWidth{0}, g_screenHeight{0};

bool ParseScreenSize(const char* text, SIZE* size)
{
    int w = 0, h = 0;
    if (std::sscanf(text, "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0)
        return false;
    *size = {w, h};
    return true;
}

// The machine's own screen: HKLM\SOFTWARE\Quillmark\Machine "ScreenSize" ("1366x768").
bool MachineScreenSize(SIZE* size)
{
    char text[32] = {0};
    DWORD cb = sizeof(text) - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmark\\Machine", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    LONG st = RegQueryValueExA(key, "ScreenSize", nullptr, &type, reinterpret_cast<BYTE*>(text), &cb);
    RegCloseKey(key);
    return st == ERROR_SUCCESS && type == REG_SZ && ParseScreenSize(text, size);
}

SIZE DisplayScreen()
{
    SIZE display{};
    if (PresentScreenSize(&display))
        return display;
    return {1920, 1080};
}
} // namespace

void SetScreenSize(int width, int height)
{
    g_screenWidth = width;
    g_screenHeight = height;
}

void ResetScreenSize() { SetScreenSize(0, 0); }

static SIZE Screen()
{
    if (g_screenWidth > 0 && g_screenHeight > 0)
        return {g_screenWidth, g_screenHeight};
    SIZE size{};
    if (const char* env = std::getenv("QM_SCREEN_SIZE"); env && ParseScreenSize(env, &size))
        return size;
    // Read each time: a test or qmctl may change the machine while the process runs.
    if (MachineScreenSize(&size))
        return size;
    static SIZE display = DisplayScreen();
    return display;
}
} // namespace qm::win

using namespace qm::win;

QMAPI int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex)
    {
    case SM_CXSCREEN:
        return Screen().cx;
    case SM_CYSCREEN:
        return Screen().cy;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CYVTHUMB:
        return 17;
    case SM_CYCAPTION:
        return 22;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYSMCAPTION:
        return 17;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CMONITORS:
        return 1;
    }
    return 0;
}

QMAPI DWORD WINAPI GetSysColor(int nIndex)
{
    switch (nIndex)
    {
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
    case COLOR_HIGHLIGHTTEXT:
        return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_INFOTEXT:
        return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
        return RGB(51, 153, 255);
    case COLOR_BTNFACE:
        return RGB(240, 240, 240);
    case COLOR_BTNSHADOW:
        return RGB(160, 160, 160);
    case COLOR_GRAYTEXT:
        return RGB(109, 109, 109);
    case COLOR_3DDKSHADOW:
        return RGB(105, 105, 105);
    case COLOR_INFOBK:
        return RGB(255, 255, 225);
    }
    return 0;
}

QMAPI HBRUSH WINAPI GetSysColorBrush(int nIndex)
{
    static HBRUSH brushes[32] = {};
    if (nIndex < 0 || nIndex >= 32)
        return nullptr;
    if (!brushes[nIndex])
    {
        brushes[nIndex] = CreateSolidBrush(GetSysColor(nIndex));
        // System colour brushes live as long as the process, like stock objects.
        qm::gdi::MarkStock(brushes[nIndex]);
    }
    return brushes[nIndex];
}

QMAPI BOOL WINAPI MessageBeep(UINT uType) { return TRUE; }

QMAPI BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom)
{
    if (!lprc)
        return FALSE;
    *lprc = {xLeft, yTop, xRight, yBottom};
    return TRUE;
}

QMAPI BOOL WINAPI SetRectEmpty(LPRECT lprc) { return SetRect(lprc, 0, 0, 0, 0); }

QMAPI BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy)
{
    if (!lprc)
        return FALSE;
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

QMAPI BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy)
{
    if (!lprc)
        return FALSE;
    lprc->left -= dx;
    lprc->right += dx;
    lprc->top -= dy;
    lprc->bottom += dy;
    return TRUE;
}

QMAPI BOOL WINAPI IsRectEmpty(const RECT* lprc)
{
    return !lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top;
}

QMAPI BOOL WINAPI PtInRect(const RECT* lprc, POINT pt)
{
    return lprc && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}

QMAPI BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT* a, const RECT* b)
{
    if (!lprcDst || !a || !b)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r))
    {
        SetRectEmpty(lprcDst);
        return FALSE;
    }
    *lprcDst = r;
    return TRUE;
}

QMAPI BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT* a, const RECT* b)
{
    if (!lprcDst || !a || !b)
        return FALSE;
    if (IsRectEmpty(a))
        *lprcDst = IsRectEmpty(b) ? RECT{} : *b;
    else if (IsRectEmpty(b))
        *lprcDst = *a;
    else
        *lprcDst = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    return !IsRectEmpty(lprcDst);
}

QMAPI BOOL WINAPI EqualRect(const RECT* a, const RECT* b)
{
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

QMAPI BOOL WINAPI CopyRect(LPRECT lprcDst, const RECT* lprcSrc)
{
    if (!lprcDst || !lprcSrc)
        return FALSE;
    *lprcDst = *lprcSrc;
    return TRUE;
}
