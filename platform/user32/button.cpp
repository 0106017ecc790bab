// The push button: pressed look, default-button frame, BN_CLICKED on release over it.
#include "controls.h"

namespace qm::win
{
namespace
{
struct ButtonState
{
    bool pushed = false;
    bool tracking = false;
};

bool IsDefault(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON; }

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    RECT r;
    GetClientRect(hwnd, &r);
    ButtonState* s = StateOf<ButtonState>(hwnd);
    DWORD style = GetWindowLongW(hwnd, GWL_STYLE);
    if ((style & BS_TYPEMASK) == BS_OWNERDRAW)
    {
        DRAWITEMSTRUCT dis{ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE,
                           static_cast<UINT>((s && s->pushed ? ODS_SELECTED : 0) | (GetFocus() == hwnd ? ODS_FOCUS : 0)),
                           hwnd, dc, r, 0};
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        EndPaint(hwnd, &ps);
        return;
    }
    ControlBrush(hwnd, dc, WM_CTLCOLORBTN);
    bool pushed = s && s->pushed;
    HBRUSH face = CreateSolidBrush(pushed ? RGB(204, 228, 247) : RGB(225, 225, 225));
    FillRect(dc, &r, face);
    DeleteObject(face);
    HBRUSH outline = CreateSolidBrush(IsDefault(hwnd) || GetFocus() == hwnd ? RGB(0, 120, 215) : RGB(173, 173, 173));
    FrameRect(dc, &r, outline);
    if (IsDefault(hwnd))
    {
        RECT inner = r;
        InflateRect(&inner, -1, -1);
        FrameRect(dc, &inner, outline);
    }
    DeleteObject(outline);
    HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(hwnd) ? GetSysColor(COLOR_BTNTEXT) : GetSysColor(COLOR_GRAYTEXT));
    Window* w = Find(hwnd);
    DrawTextW(dc, w->text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

void SetPushed(HWND hwnd, bool pushed)
{
    ButtonState* s = StateOf<ButtonState>(hwnd);
    if (s && s->pushed != pushed)
    {
        s->pushed = pushed;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}
} // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_CREATE:
        AttachState<ButtonState>(hwnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_BUTTON | (IsDefault(hwnd) ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(hwnd);
        SetCapture(hwnd);
        if (ButtonState* s = StateOf<ButtonState>(hwnd))
            s->tracking = true;
        SetPushed(hwnd, true);
        return 0;
    case WM_MOUSEMOVE:
        if (ButtonState* s = StateOf<ButtonState>(hwnd); s && s->tracking)
        {
            RECT r;
            GetClientRect(hwnd, &r);
            SetPushed(hwnd, PtInRect(&r, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        }
        return 0;
    case WM_LBUTTONUP: {
        ButtonState* s = StateOf<ButtonState>(hwnd);
        if (!s || !s->tracking)
            return 0;
        s->tracking = false;
        bool click = s->pushed;
        SetPushed(hwnd, false);
        ReleaseCapture();
        if (click)
            NotifyParent(hwnd, BN_CLICKED);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (ButtonState* s = StateOf<ButtonState>(hwnd); s && s->tracking && reinterpret_cast<HWND>(lParam) != hwnd)
        {
            s->tracking = false;
            SetPushed(hwnd, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE)
            SetPushed(hwnd, true);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && StateOf<ButtonState>(hwnd) && StateOf<ButtonState>(hwnd)->pushed)
        {
            SetPushed(hwnd, false);
            NotifyParent(hwnd, BN_CLICKED);
        }
        return 0;
    case BM_CLICK:
        NotifyParent(hwnd, BN_CLICKED);
        return 0;
    case BM_GETSTATE: {
        ButtonState* s = StateOf<ButtonState>(hwnd);
        return (s && s->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
    }
    case BM_SETSTATE:
        SetPushed(hwnd, wParam != 0);
        return 0;
    case BM_SETSTYLE: {
        DWORD style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>((style & ~BS_TYPEMASK) | (wParam & BS_TYPEMASK)));
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace qm::win
