// The default window procedure: text, painting, the frame's hit test and close box, fonts
// and control colours.
#include <algorithm>

#include "window_manager.h"
#include "winbase.h"

using namespace qm::win;

namespace
{
LRESULT HitTest(Window* w, POINT pt)
{
    RECT s = ScreenRect(w);
    if (!PtInRect(&s, pt))
        return HTNOWHERE;
    POINT local{pt.x - s.left, pt.y - s.top};
    RECT c = ClientInWindow(w);
    if (PtInRect(&c, local))
        return HTCLIENT;
    if (w->vscroll)
    {
        RECT bar{c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
        if (PtInRect(&bar, local))
            return HTVSCROLL;
    }
    if (HasCaption(w))
    {
        RECT box = CloseBoxInWindow(w);
        if ((w->style & WS_SYSMENU) && PtInRect(&box, local))
            return HTCLOSE;
        if (local.y < c.top)
            return HTCAPTION;
    }
    return HTBORDER;
}
} // namespace

QMAPI LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* w = Find(hWnd);
    if (!w)
        return 0;
    switch (Msg)
    {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IsAtom(cs->lpszName))
            w->text = cs->lpszName;
        return TRUE;
    }
    case WM_SETTEXT:
        w->text = WideOrEmpty(reinterpret_cast<LPCWSTR>(lParam));
        if (HasCaption(w))
            w->needsFrame = true;
        InvalidateRect(hWnd, nullptr, TRUE);
        return TRUE;
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        int max = static_cast<int>(wParam);
        if (!out || max <= 0)
            return 0;
        int n = std::min<int>(static_cast<int>(w->text.size()), max - 1);
        std::copy_n(w->text.begin(), n, out);
        out[n] = 0;
        return n;
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_NCPAINT:
        DrawNonClient(hWnd);
        return 0;
    case WM_ERASEBKGND: {
        HBRUSH b = w->cls->background;
        if (!b)
            return 0;
        RECT r;
        GetClientRect(hWnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, b);
        return 1;
    }
    case WM_NCHITTEST:
        return HitTest(w, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCLOSE)
            SendMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
        else if (wParam == HTVSCROLL)
        {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            POINT o = ClientOriginOnScreen(w);
            RECT c = ClientInWindow(w);
            bool up = pt.y - o.y < (c.bottom - c.top) / 2;
            SendMessageW(hWnd, WM_VSCROLL, up ? SB_PAGEUP : SB_PAGEDOWN, 0);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageW(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(hWnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case WM_CTLCOLORLISTBOX:
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_MOUSEWHEEL:
        if (!IsTopLevel(w))
            return SendMessageW(w->parent, Msg, wParam, lParam);
        return 0;
    case WM_MOUSEACTIVATE:
        return 1; // MA_ACTIVATE
    }
    return 0;
}
