// The system window classes and helpers shared by the controls.
#include <mutex>

#include "controls.h"

namespace qm::win
{
void EnsureSystemClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterSystemClass(u"Button", CS_DBLCLKS | CS_PARENTDC, ButtonProc, nullptr);
        RegisterSystemClass(u"Static", CS_DBLCLKS | CS_PARENTDC, StaticProc, nullptr);
        RegisterSystemClass(u"ListBox", CS_DBLCLKS | CS_PARENTDC, ListBoxProc, nullptr);
        RegisterSystemClass(u"#32770", CS_DBLCLKS | CS_SAVEBITS, DefDlgProcW, GetSysColorBrush(COLOR_BTNFACE));
        RegisterCommonControlClasses();
    });
}

void NotifyParent(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

HFONT ControlFont(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w && w->font ? w->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HBRUSH ControlBrush(HWND hwnd, HDC dc, UINT ctlColorMessage)
{
    HWND parent = GetParent(hwnd);
    LRESULT r = parent ? SendMessageW(parent, ctlColorMessage, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd))
                       : DefWindowProcW(hwnd, ctlColorMessage, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
    if (!r)
        r = DefWindowProcW(hwnd, ctlColorMessage, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
    return reinterpret_cast<HBRUSH>(r);
}
} // namespace qm::win
