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
        RECT icon = CaptionIconInWindow(w);
        if (CaptionIcon(w) && PtInRect(&icon, local))
            return HTSYSMENU;
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
        if (wParam == HTSYSMENU)
            SendMessageW(hWnd, WM_SYSCOMMAND, SC_MOUSEMENU + HTSYSMENU, lParam);
        else if (wParam == HTCLOSE)
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
        else if (((wParam & 0xFFF0) == SC_KEYMENU && lParam == ' ') || (wParam & 0xFFF0) == SC_MOUSEMENU)
        {
            // Below the caption's icon, as Windows puts it.
            RECT s = ScreenRect(w);
            RECT c = ClientInWindow(w);
            ShowSystemMenu(hWnd, {s.left + CloseBoxInWindow(w).top - 2, s.top + c.top});
        }
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+Space opens the window's system menu, Alt+F4 closes it.
        if ((lParam & (1 << 29)) && (wParam == VK_SPACE || wParam == VK_F4))
        {
            HWND root = RootOf(hWnd);
            if (wParam == VK_SPACE)
                SendMessageW(root, WM_SYSCOMMAND, SC_KEYMENU, ' ');
            else
                SendMessageW(root, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_RBUTTONUP: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hWnd, &pt);
        SendMessageW(hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hWnd), MAKELPARAM(pt.x, pt.y));
        return 0;
    }
    case WM_NCRBUTTONUP:
        SendMessageW(hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hWnd), lParam);
        return 0;
    case WM_CONTEXTMENU: {
        if (!IsTopLevel(w))
            return SendMessageW(w->parent, Msg, wParam, lParam);
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        LRESULT hit = HitTest(w, pt);
        if ((hit == HTCAPTION || hit == HTSYSMENU) && (w->style & WS_SYSMENU))
            ShowSystemMenu(hWnd, pt);
        return 0;
    }
    case WM_SETICON: {
        HICON* slot = wParam == ICON_BIG ? &w->iconBig : &w->iconSmall;
        HICON old = *slot;
        *slot = reinterpret_cast<HICON>(lParam);
        w->needsFrame = true;
        InvalidateRect(hWnd, nullptr, FALSE);
        PresentIcon(hWnd);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        if (wParam == ICON_BIG)
            return reinterpret_cast<LRESULT>(w->iconBig);
        if (wParam == ICON_SMALL2 && !w->iconSmall)
            return reinterpret_cast<LRESULT>(w->iconBig);
        return reinterpret_cast<LRESULT>(w->iconSmall);
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
