// MessageBox: a modal dialog built from an in-memory template, with the caption, an icon
// for the MB_ICON* type, the text and the buttons of the MB_* type, sized to its text and
// centred on the screen. With nobody to answer it (headless, no idle hook on the thread)
// the box is written to standard error and answered with its default button, as a
// program without a desktop would be.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "qm/utf.h"
#include "window_manager.h"
#include "winbase.h"
#include "wingdi.h"

namespace qm::win
{
bool IsPresenting();

namespace
{
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kTextMaxWidth = 420;
constexpr int kTextId = 0xFFFF;

struct ButtonSpec
{
    int id;
    const char16_t* label;
};

std::vector<ButtonSpec> ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK)
    {
    case MB_OKCANCEL:
        return {{IDOK, u"确定"}, {IDCANCEL, u"取消"}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, u"中止(&A)"}, {IDRETRY, u"重试(&R)"}, {IDIGNORE, u"忽略(&I)"}};
    case MB_YESNOCANCEL:
        return {{IDYES, u"是(&Y)"}, {IDNO, u"否(&N)"}, {IDCANCEL, u"取消"}};
    case MB_YESNO:
        return {{IDYES, u"是(&Y)"}, {IDNO, u"否(&N)"}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, u"重试(&R)"}, {IDCANCEL, u"取消"}};
    default:
        return {{IDOK, u"确定"}};
    }
}

size_t DefaultIndex(UINT type, size_t count)
{
    size_t i = (type & MB_DEFMASK) >> 8;
    return i < count ? i : 0;
}

struct Box
{
    std::u16string text;
    UINT type;
    std::vector<ButtonSpec> buttons;
};

// The classic template: no items of its own; the box makes its controls when initialised.
std::vector<WORD> BoxTemplate(const std::u16string& caption)
{
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(static_cast<WORD>(v & 0xFFFF));
        t.push_back(static_cast<WORD>(v >> 16));
    };
    auto text = [&](const std::u16string& s) {
        t.insert(t.end(), s.begin(), s.end());
        t.push_back(0);
    };
    dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
    dword(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST);
    t.push_back(0); // no items
    t.push_back(0); // x, y, cx, cy: sized when initialised
    t.push_back(0);
    t.push_back(100);
    t.push_back(40);
    t.push_back(0); // no menu
    t.push_back(0); // the dialog class
    text(caption);
    t.push_back(9);
    text(u"Microsoft YaHei");
    return t;
}

void Layout(HWND hDlg, Box& box)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hDlg, WM_GETFONT, 0, 0));
    bool icon = (box.type & MB_ICONMASK) != 0;
    int textX = kMargin + (icon ? kIconSize + kMargin : 0);

    HDC dc = GetDC(hDlg);
    HGDIOBJ old = SelectObject(dc, font);
    RECT tr{0, 0, kTextMaxWidth, 0};
    DrawTextW(dc, box.text.c_str(), static_cast<int>(box.text.size()), &tr, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(hDlg, dc);
    int textW = tr.right - tr.left, textH = tr.bottom - tr.top;
    int topH = std::max(textH, icon ? kIconSize : 0);
    int textY = kMargin + (topH - textH) / 2;

    int n = static_cast<int>(box.buttons.size());
    int buttonsW = n * kButtonWidth + (n - 1) * kButtonGap;
    int clientW = std::max(textX + textW + kMargin, buttonsW + 2 * kMargin);
    clientW = std::max(clientW, 180);
    int buttonsY = kMargin + topH + kMargin + 4;
    int clientH = buttonsY + kButtonHeight + kMargin;

    HWND label = CreateWindowExW(0, WC_STATICW, box.text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, textX, textY,
                                 textW + 2, textH, hDlg, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kTextId)),
                                 nullptr, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    size_t def = DefaultIndex(box.type, box.buttons.size());
    int x = clientW - kMargin - buttonsW;
    HWND focus = nullptr;
    for (size_t i = 0; i < box.buttons.size(); ++i)
    {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        HWND b = CreateWindowExW(0, WC_BUTTONW, box.buttons[i].label, style, x, buttonsY, kButtonWidth, kButtonHeight,
                                 hDlg, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(box.buttons[i].id)), nullptr,
                                 nullptr);
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (i == def)
            focus = b;
        x += kButtonWidth + kButtonGap;
    }
    SendMessageW(hDlg, DM_SETDEFID, static_cast<WPARAM>(box.buttons[def].id), 0);

    RECT wr{0, 0, clientW, clientH};
    AdjustWindowRectEx(&wr, static_cast<DWORD>(GetWindowLongPtrW(hDlg, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hDlg, GWL_EXSTYLE)));
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    SetWindowPos(hDlg, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
                 SWP_NOZORDER);
    if (focus)
        SetFocus(focus);
}

// The type's icon: a round badge with its sign, as the system icons show them.
void PaintIcon(HWND hDlg, UINT type)
{
    UINT icon = type & MB_ICONMASK;
    if (!icon)
        return;
    COLORREF fill = RGB(0, 120, 215), sign = RGB(255, 255, 255);
    const char16_t* mark = u"i";
    if (icon == MB_ICONERROR)
    {
        fill = RGB(232, 17, 35);
        mark = u"×";
    }
    else if (icon == MB_ICONQUESTION)
        mark = u"?";
    else if (icon == MB_ICONEXCLAMATION)
    {
        fill = RGB(255, 185, 0);
        sign = RGB(0, 0, 0);
        mark = u"!";
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hDlg, &ps);
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, fill);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    RoundRect(dc, kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize, kIconSize, kIconSize);
    HFONT font = CreateFontW(-22, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, u"Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, sign);
    RECT r{kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize};
    DrawTextW(dc, mark, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(font);
    DeleteObject(pen);
    DeleteObject(brush);
    EndPaint(hDlg, &ps);
}

bool HasButton(const Box& box, int id)
{
    for (const ButtonSpec& b : box.buttons)
        if (b.id == id)
            return true;
    return false;
}

// What Escape and the close box answer: Cancel where there is one, a lone OK also; 0 when
// the box has neither.
int CancelAnswer(const Box& box)
{
    if (HasButton(box, IDCANCEL))
        return IDCANCEL;
    return box.buttons.size() == 1 && box.buttons[0].id == IDOK ? IDOK : 0;
}

INT_PTR CALLBACK BoxProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Box* box = reinterpret_cast<Box*>(GetWindowLongPtrW(hDlg, DWLP_USER));
    switch (msg)
    {
    case WM_INITDIALOG:
        SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        Layout(hDlg, *reinterpret_cast<Box*>(lParam));
        return FALSE; // the focus is set
    case WM_PAINT:
        if (!box)
            return FALSE;
        PaintIcon(hDlg, box->type);
        return TRUE;
    case WM_COMMAND: {
        if (!box)
            return FALSE;
        int id = LOWORD(wParam) == IDCANCEL ? CancelAnswer(*box) : LOWORD(wParam);
        if (HasButton(*box, id))
            EndDialog(hDlg, id);
        return TRUE;
    }
    case WM_CLOSE:
        if (box)
            if (int id = CancelAnswer(*box))
                EndDialog(hDlg, id);
        return TRUE;
    }
    return FALSE;
}
} // namespace
} // namespace qm::win

using namespace qm::win;

QMAPI int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    Box box{lpText ? lpText : u"", uType, ButtonsOf(uType)};
    std::u16string caption = lpCaption ? lpCaption : u"错误";
    if (!IsPresenting() && !HasIdleHook())
    {
        std::fprintf(stderr, "[%s] %s\n", qm::utf::Utf16ToUtf8(caption).c_str(),
                     qm::utf::Utf16ToUtf8(box.text).c_str());
        return box.buttons[DefaultIndex(uType, box.buttons.size())].id;
    }
    std::vector<WORD> t = BoxTemplate(caption);
    INT_PTR r = DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.data()), hWnd, BoxProc,
                                        reinterpret_cast<LPARAM>(&box));
    return r > 0 ? static_cast<int>(r) : 0;
}

QMAPI int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    std::u16string text = WideFromAnsi(lpText), caption = WideFromAnsi(lpCaption);
    return MessageBoxW(hWnd, text.c_str(), lpCaption ? caption.c_str() : nullptr, uType);
}
