// Dialogs: creation from templates (dialog units from the template's font), the modal
// loop, the default dialog procedure and dialog keyboard handling.
#include <algorithm>

#include "dialog_template.h"
#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
void PushModal(HWND dialog);
void PopModal();

int MulDivRound(int value, int numerator, int denominator)
{
    long long v = static_cast<long long>(value) * numerator;
    return static_cast<int>(v >= 0 ? (v + denominator / 2) / denominator : -((-v + denominator / 2) / denominator));
}

namespace
{

DialogData* DataOf(HWND hDlg)
{
    Window* w = Find(hDlg);
    return w ? w->dialog.get() : nullptr;
}

bool IsPushButton(HWND hwnd)
{
    LRESULT code = SendMessageW(hwnd, WM_GETDLGCODE, 0, 0);
    return code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
}

HWND FirstTabStop(HWND hDlg)
{
    Window* w = Find(hDlg);
    if (!w)
        return nullptr;
    for (HWND c : w->children)
    {
        Window* k = Find(c);
        if (k && (k->style & WS_TABSTOP) && !(k->style & WS_DISABLED))
            return c;
    }
    return nullptr;
}

HWND CreateFromTemplate(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal)
{
    // The dialog font, in pixels at 96 dpi.
    HFONT font = nullptr;
    bool ownsFont = false;
    if (t.hasFont)
    {
        LOGFONTW lf{};
        lf.lfHeight = -MulDivRound(t.pointSize, 96, 72);
        lf.lfWeight = t.weight;
        lf.lfItalic = t.italic;
        lf.lfCharSet = t.charset;
        for (size_t i = 0; i < t.face.size() && i < LF_FACESIZE - 1; ++i)
            lf.lfFaceName[i] = t.face[i];
        font = CreateFontIndirectW(&lf);
        ownsFont = font != nullptr;
    }
    if (!font)
        font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    SIZE base = BaseUnitsOf(font);
    auto toPx = [&](RECT r) {
        return RECT{MulDivRound(r.left, base.cx, 4), MulDivRound(r.top, base.cy, 8), MulDivRound(r.right, base.cx, 4),
                    MulDivRound(r.bottom, base.cy, 8)};
    };
    DWORD style = t.style & ~WS_VISIBLE;
    DWORD exStyle = t.exStyle;
    if (style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    if (style & DS_CONTROL)
        style = (style & ~(WS_CAPTION | WS_SYSMENU | WS_POPUP)) | WS_CHILD;
    RECT client = toPx({t.x, t.y, t.x + t.cx, t.y + t.cy});
    RECT frame{0, 0, client.right - client.left, client.bottom - client.top};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    int x, y;
    if (style & (DS_CENTER | DS_CENTERMOUSE))
    {
        x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    else
    {
        POINT o{client.left, client.top};
        if (owner && !(style & DS_ABSALIGN))
            ClientToScreen(owner, &o);
        x = o.x + frame.left;
        y = o.y + frame.top;
    }
    LPCWSTR cls = t.className.empty() ? WC_DIALOG : t.className.c_str();
    HWND hDlg = CreateWindowExW(exStyle, cls, t.title.c_str(), style, x, y, width, height, owner, nullptr, instance,
                                nullptr);
    if (!hDlg)
    {
        if (ownsFont)
            DeleteObject(font);
        return nullptr;
    }
    Window* w = Find(hDlg);
    w->dialog = std::make_unique<DialogData>();
    w->dialog->proc = proc;
    w->dialog->font = font;
    w->dialog->ownsFont = ownsFont;
    w->dialog->baseUnits = base;
    w->font = font;
    if (t.hasFont)
        SendMessageW(hDlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const DialogItem& item : t.items)
    {
        RECT r = toPx({item.x, item.y, item.x + item.cx, item.y + item.cy});
        HWND ctl = CreateWindowExW(item.exStyle | WS_EX_NOPARENTNOTIFY, item.className.c_str(), item.text.c_str(),
                                   (item.style | WS_CHILD) & ~WS_POPUP, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, hDlg, reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id & 0xFFFF)),
                                   instance, item.creationData.empty() ? nullptr : const_cast<uint8_t*>(item.creationData.data()));
        if (!ctl)
        {
            if (t.style & DS_NOFAILCREATE)
                continue;
            DWORD error = GetLastError();
            DestroyWindow(hDlg);
            SetLastError(error);
            return nullptr;
        }
        SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HWND focus = FirstTabStop(hDlg);
    if (SendMessageW(hDlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && IsWindow(hDlg))
    {
        HWND target = FirstTabStop(hDlg);
        if (target)
            SetFocus(target);
    }
    if (!IsWindow(hDlg))
        return nullptr;
    if ((t.style & WS_VISIBLE) && !(DataOf(hDlg) && DataOf(hDlg)->ended))
        ShowWindow(hDlg, SW_SHOWNORMAL);
    (void)modal;
    return hDlg;
}

const void* LoadTemplate(HINSTANCE instance, LPCWSTR name, size_t* size)
{
    HRSRC res = FindResourceW(instance, name, RT_DIALOG);
    if (!res)
        return nullptr;
    HGLOBAL data = LoadResource(instance, res);
    *size = SizeofResource(instance, res);
    return data ? LockResource(data) : nullptr;
}

INT_PTR RunModal(HINSTANCE instance, const void* data, size_t size, HWND owner, DLGPROC proc, LPARAM param)
{
    if (owner && !IsWindow(owner))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    auto t = ParseDialogTemplate(data, size);
    if (!t)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    HWND root = owner ? RootOf(owner) : nullptr;
    bool reenable = root && IsWindowEnabled(root);
    t->style &= ~WS_VISIBLE; // shown once initialised
    HWND hDlg = CreateFromTemplate(instance, *t, root, proc, param, true);
    if (!hDlg)
        return -1;
    if (reenable)
        EnableWindow(root, FALSE);
    PushModal(hDlg);
    DialogData* d = DataOf(hDlg);
    if (d && !d->ended)
        ShowWindow(hDlg, SW_SHOWNORMAL);
    bool quit = false;
    int quitCode = 0;
    while ((d = DataOf(hDlg)) && !d->ended)
    {
        MSG m;
        if (!GetMessageW(&m, nullptr, 0, 0))
        {
            quit = true;
            quitCode = static_cast<int>(m.wParam);
            break;
        }
        if (!IsDialogMessageW(hDlg, &m))
        {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    PopModal();
    INT_PTR result = d ? d->result : 0;
    if (reenable)
        EnableWindow(root, TRUE);
    if (IsWindow(hDlg))
    {
        bool wasActive = GetActiveWindow() == hDlg;
        ShowWindow(hDlg, SW_HIDE);
        if (wasActive && root)
            SetActiveWindow(root);
        DestroyWindow(hDlg);
    }
    if (quit)
        PostQuitMessage(quitCode);
    return result;
}
} // namespace

SIZE BaseUnitsOf(HFONT font)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    static const char16_t letters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE s{};
    GetTextExtentPoint32W(dc, letters, 52, &s);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return {(s.cx / 26 + 1) / 2, tm.tmHeight};
}
} // namespace qm::win

using namespace qm::win;

QMAPI INT_PTR WINAPI DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                     DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    size_t size = 0;
    const void* data = LoadTemplate(hInstance, lpTemplateName, &size);
    if (!data)
        return -1;
    return RunModal(hInstance, data, size, hWndParent, lpDialogFunc, dwInitParam);
}

QMAPI INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                             DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    return RunModal(hInstance, hDialogTemplate, 0, hWndParent, lpDialogFunc, dwInitParam);
}

QMAPI HWND WINAPI CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                             DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    if (hWndParent && !IsWindow(hWndParent))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto t = ParseDialogTemplate(lpTemplate, 0);
    if (!t)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateFromTemplate(hInstance, *t, hWndParent, lpDialogFunc, dwInitParam, false);
}

QMAPI HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                     DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    size_t size = 0;
    const void* data = LoadTemplate(hInstance, lpTemplateName, &size);
    if (!data)
        return nullptr;
    auto t = ParseDialogTemplate(data, size);
    if (!t)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateFromTemplate(hInstance, *t, hWndParent, lpDialogFunc, dwInitParam, false);
}

QMAPI BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    DialogData* d = DataOf(hDlg);
    if (!d)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = nResult;
    PostMessageW(hDlg, WM_NULL, 0, 0); // wakes the modal loop
    return TRUE;
}

QMAPI LRESULT WINAPI DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    DialogData* d = DataOf(hDlg);
    if (!d)
        return DefWindowProcW(hDlg, Msg, wParam, lParam);
    if (d->proc)
    {
        d->msgResult = 0;
        INT_PTR r = d->proc(hDlg, Msg, wParam, lParam);
        d = DataOf(hDlg);
        if (r)
        {
            switch (Msg)
            {
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORLISTBOX:
            case WM_INITDIALOG:
            case WM_QUERYDRAGICON:
                return r;
            }
            return d ? d->msgResult : 0;
        }
        if (!d)
            return 0;
    }
    switch (Msg)
    {
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(hDlg, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel))
        {
            MessageBeep(0);
            return 0;
        }
        PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID:
        return MAKELRESULT(d->defaultId, DC_HASDEFID);
    case DM_SETDEFID: {
        HWND old = GetDlgItem(hDlg, static_cast<int>(d->defaultId));
        HWND now = GetDlgItem(hDlg, static_cast<int>(wParam));
        if (old && IsPushButton(old))
            SendMessageW(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        if (now && IsPushButton(now))
            SendMessageW(now, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        d->defaultId = static_cast<UINT>(wParam);
        return TRUE;
    }
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(hDlg, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hDlg)));
        RECT r;
        GetClientRect(hDlg, &r);
        FillRect(dc, &r, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
        {
            HWND f = GetFocus();
            if (f && IsChild(hDlg, f))
                d->focusSaved = f;
        }
        else if (d->focusSaved && IsWindow(d->focusSaved))
            SetFocus(d->focusSaved);
        return 0;
    case WM_SETFOCUS:
        if (HWND first = FirstTabStop(hDlg))
            SetFocus(first);
        return 0;
    case WM_INITDIALOG:
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        return 0;
    }
    return DefWindowProcW(hDlg, Msg, wParam, lParam);
}

QMAPI BOOL WINAPI IsDialogMessageW(HWND hDlg, LPMSG lpMsg)
{
    if (!lpMsg || !hDlg || (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)))
        return FALSE;
    UINT msg = lpMsg->message;
    if (msg == WM_KEYDOWN || msg == WM_CHAR)
    {
        LRESULT code = SendMessageW(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg));
        bool wantsAll = code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        UINT vk = static_cast<UINT>(lpMsg->wParam);
        if (msg == WM_KEYDOWN && !wantsAll)
        {
            switch (vk)
            {
            case VK_RETURN: {
                HWND focus = GetFocus();
                int id;
                if (focus && IsChild(hDlg, focus) && IsPushButton(focus))
                    id = GetDlgCtrlID(focus);
                else
                    id = LOWORD(SendMessageW(hDlg, DM_GETDEFID, 0, 0));
                HWND button = GetDlgItem(hDlg, id);
                if (!button || IsWindowEnabled(button))
                    SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
                return TRUE;
            }
            case VK_ESCAPE: {
                HWND cancel = GetDlgItem(hDlg, IDCANCEL);
                if (!cancel || IsWindowEnabled(cancel))
                    SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
                return TRUE;
            }
            case VK_TAB:
                if (!(code & DLGC_WANTTAB))
                {
                    if (HWND next = GetNextDlgTabItem(hDlg, GetFocus(), GetKeyState(VK_SHIFT) < 0))
                        SetFocus(next);
                    return TRUE;
                }
                break;
            }
        }
        if (msg == WM_CHAR && !wantsAll && (vk == u'\r' || vk == 0x1B || (vk == u'\t' && !(code & DLGC_WANTTAB))))
            return TRUE;
    }
    TranslateMessage(lpMsg);
    DispatchMessageW(lpMsg);
    return TRUE;
}

QMAPI HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    Window* w = Get(hDlg);
    if (!w)
        return nullptr;
    for (HWND c : w->children)
        if (Window* k = Find(c); k && static_cast<int>(k->id) == nIDDlgItem)
            return c;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

QMAPI int WINAPI GetDlgCtrlID(HWND hWnd)
{
    Window* w = Get(hWnd);
    return w && !IsTopLevel(w) ? static_cast<int>(w->id) : 0;
}

QMAPI BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextW(item, lpString) : FALSE;
}

QMAPI UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (!item)
    {
        if (lpString && cchMax > 0)
            *lpString = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(item, lpString, cchMax));
}

QMAPI LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}

QMAPI BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect)
{
    DialogData* d = DataOf(hDlg);
    if (!d || !lpRect)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto x = [&](LONG v) { return static_cast<LONG>(MulDivRound(v, d->baseUnits.cx, 4)); };
    auto y = [&](LONG v) { return static_cast<LONG>(MulDivRound(v, d->baseUnits.cy, 8)); };
    *lpRect = {x(lpRect->left), y(lpRect->top), x(lpRect->right), y(lpRect->bottom)};
    return TRUE;
}

QMAPI LONG WINAPI GetDialogBaseUnits(void)
{
    SIZE s = BaseUnitsOf(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
    return MAKELONG(s.cx, s.cy);
}

QMAPI HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    Window* w = Get(hDlg);
    if (!w)
        return nullptr;
    std::vector<HWND> stops;
    for (HWND c : w->children)
        if (Window* k = Find(c); k && (k->style & WS_TABSTOP) && (k->style & WS_VISIBLE) && !(k->style & WS_DISABLED))
            stops.push_back(c);
    if (stops.empty())
        return nullptr;
    auto it = std::find(stops.begin(), stops.end(), hCtl);
    if (it == stops.end())
        return bPrevious ? stops.back() : stops.front();
    size_t i = it - stops.begin();
    return bPrevious ? stops[(i + stops.size() - 1) % stops.size()] : stops[(i + 1) % stops.size()];
}
