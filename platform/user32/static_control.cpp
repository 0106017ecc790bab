// The static control: frames, filled rectangles, etched lines and text.
#include "controls.h"

namespace qm::win
{
namespace
{
void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    RECT r;
    GetClientRect(hwnd, &r);
    DWORD style = GetWindowLongW(hwnd, GWL_STYLE);
    DWORD type = style & SS_TYPEMASK;
    auto solid = [&](COLORREF c, bool frame) {
        HBRUSH b = CreateSolidBrush(c);
        frame ? FrameRect(dc, &r, b) : FillRect(dc, &r, b);
        DeleteObject(b);
    };
    switch (type)
    {
    case SS_BLACKFRAME:
        solid(RGB(0, 0, 0), true);
        break;
    case SS_GRAYFRAME:
        solid(GetSysColor(COLOR_BTNSHADOW), true);
        break;
    case SS_WHITEFRAME:
        solid(RGB(255, 255, 255), true);
        break;
    case SS_BLACKRECT:
        solid(RGB(0, 0, 0), false);
        break;
    case SS_GRAYRECT:
        solid(GetSysColor(COLOR_BTNSHADOW), false);
        break;
    case SS_WHITERECT:
        solid(RGB(255, 255, 255), false);
        break;
    case SS_ETCHEDHORZ:
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_TOP | BF_BOTTOM);
        break;
    default: {
        HBRUSH bg = ControlBrush(hwnd, dc, WM_CTLCOLORSTATIC);
        FillRect(dc, &r, bg);
        HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
        SetBkMode(dc, TRANSPARENT);
        UINT format = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        if (type == SS_CENTER)
            format |= DT_CENTER | DT_WORDBREAK;
        else if (type == SS_RIGHT)
            format |= DT_RIGHT | DT_WORDBREAK;
        else if (type == SS_LEFT)
            format |= DT_WORDBREAK;
        Window* w = Find(hwnd);
        DrawTextW(dc, w->text.c_str(), -1, &r, format);
        SelectObject(dc, old);
    }
    }
    EndPaint(hwnd, &ps);
}
} // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY)
            NotifyParent(hwnd, msg == WM_LBUTTONDOWN ? 0 : 1);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace qm::win
