// The tooltip control ("tooltips_class32"): tools registered by window or rectangle, their
// texts, and a tip shown at the cursor while relayed mouse moves are over a tool.
#include <algorithm>
#include <vector>

#include "../user32/controls.h"
#include "commctrl.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
struct Tool
{
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    HINSTANCE instance = nullptr;
    std::u16string text;
    bool callback = false;
    LPARAM lParam = 0;
};

struct TipState
{
    bool active = true;
    std::vector<Tool> tools;
    int shown = -1;
    int hover = -1; // the tool under the mouse at the last relayed move
};

bool SameTool(const Tool& t, const TTTOOLINFOW* ti) { return t.hwnd == ti->hwnd && t.id == ti->uId; }

std::u16string TextOf(const TTTOOLINFOW* ti, bool* callback)
{
    *callback = false;
    if (!ti->lpszText)
        return {};
    if (ti->lpszText == LPSTR_TEXTCALLBACKW)
    {
        *callback = true;
        return {};
    }
    if (IS_INTRESOURCE(ti->lpszText))
    {
        WCHAR buffer[512];
        int n = LoadStringW(ti->hinst, static_cast<UINT>(reinterpret_cast<uintptr_t>(ti->lpszText)), buffer, 512);
        return std::u16string(buffer, std::max(n, 0));
    }
    return ti->lpszText;
}

int ToolAt(TipState& s, const MSG& m)
{
    for (size_t i = 0; i < s.tools.size(); ++i)
    {
        const Tool& t = s.tools[i];
        if (t.flags & TTF_IDISHWND)
        {
            if (reinterpret_cast<HWND>(t.id) == m.hwnd)
                return static_cast<int>(i);
        }
        else if (t.hwnd == m.hwnd && PtInRect(&t.rect, {GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)}))
            return static_cast<int>(i);
    }
    return -1;
}

void Hide(HWND hwnd, TipState& s)
{
    s.shown = -1;
    ShowWindow(hwnd, SW_HIDE);
}

void Show(HWND hwnd, TipState& s, int tool)
{
    const std::u16string& text = s.tools[tool].text;
    if (!s.active || text.empty())
    {
        Hide(hwnd, s);
        return;
    }
    s.shown = tool;
    SetWindowTextW(hwnd, text.c_str());
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteDC(dc);
    POINT pt;
    GetCursorPos(&pt);
    SetWindowPos(hwnd, HWND_TOPMOST, pt.x, pt.y + 20, r.right + 8, r.bottom + 6, SWP_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOWNA);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    InflateRect(&r, -3, -2);
    Window* w = Find(hwnd);
    DrawTextW(dc, w->text.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK TooltipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
    {
        // Tooltips are always pop-ups that the mouse passes through.
        Window* w = Find(hwnd);
        w->style = (w->style & ~WS_CHILD) | WS_POPUP | WS_BORDER;
        w->exStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_TRANSPARENT;
        if (w->parent)
        {
            w->owner = RootOf(w->parent);
            w->parent = nullptr;
        }
        AttachState<TipState>(hwnd);
        return TRUE;
    }
    TipState* s = StateOf<TipState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    auto* ti = reinterpret_cast<TTTOOLINFOW*>(lParam);
    auto findTool = [&]() -> Tool* {
        if (!ti || ti->cbSize < TTTOOLINFOW_V1_SIZE)
            return nullptr;
        auto it = std::find_if(s->tools.begin(), s->tools.end(), [&](const Tool& t) { return SameTool(t, ti); });
        return it == s->tools.end() ? nullptr : &*it;
    };
    switch (msg)
    {
    case TTM_ADDTOOLW: {
        if (!ti || ti->cbSize < TTTOOLINFOW_V1_SIZE)
            return FALSE;
        Tool t;
        t.flags = ti->uFlags;
        t.hwnd = ti->hwnd;
        t.id = ti->uId;
        t.rect = ti->rect;
        t.instance = ti->hinst;
        t.text = TextOf(ti, &t.callback);
        if (ti->cbSize >= TTTOOLINFOW_V2_SIZE)
            t.lParam = ti->lParam;
        s->tools.push_back(std::move(t));
        return TRUE;
    }
    case TTM_DELTOOLW:
        if (Tool* t = findTool())
        {
            int index = static_cast<int>(t - s->tools.data());
            if (s->shown == index)
                Hide(hwnd, *s);
            else if (s->shown > index)
                --s->shown;
            s->tools.erase(s->tools.begin() + index);
        }
        return 0;
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(s->tools.size());
    case TTM_GETTEXTW: {
        if (!ti || !ti->lpszText)
            return 0;
        // wParam is the buffer's size in characters; 0 stands for the 80 of older versions.
        size_t room = wParam ? wParam : 80;
        Tool* t = findTool();
        std::u16string text = t ? t->text : std::u16string();
        size_t n = std::min(text.size(), room - 1);
        std::copy_n(text.begin(), n, ti->lpszText);
        ti->lpszText[n] = 0;
        return 0;
    }
    case TTM_UPDATETIPTEXTW:
        if (Tool* t = findTool())
        {
            t->text = TextOf(ti, &t->callback);
            // A tip waiting for its text (the mouse rests on the tool) shows it now.
            int index = static_cast<int>(t - s->tools.data());
            if (s->shown == index || s->hover == index)
                Show(hwnd, *s, index);
        }
        return 0;
    case TTM_GETTOOLINFOW:
        if (Tool* t = findTool())
        {
            ti->uFlags = t->flags;
            ti->rect = t->rect;
            ti->hinst = t->instance;
            if (ti->lpszText && !IS_INTRESOURCE(ti->lpszText) && ti->lpszText != LPSTR_TEXTCALLBACKW)
            {
                size_t n = std::min<size_t>(t->text.size(), 79);
                std::copy_n(t->text.begin(), n, ti->lpszText);
                ti->lpszText[n] = 0;
            }
            return TRUE;
        }
        return FALSE;
    case TTM_SETTOOLINFOW:
        if (Tool* t = findTool())
        {
            t->flags = ti->uFlags;
            t->rect = ti->rect;
            t->instance = ti->hinst;
            t->text = TextOf(ti, &t->callback);
        }
        return 0;
    case TTM_NEWTOOLRECTW:
        if (Tool* t = findTool())
            t->rect = ti->rect;
        return 0;
    case TTM_ACTIVATE:
        s->active = wParam != 0;
        if (!s->active)
            Hide(hwnd, *s);
        return 0;
    case TTM_POP:
        Hide(hwnd, *s);
        return 0;
    case TTM_SETDELAYTIME:
    case TTM_SETMAXTIPWIDTH:
        return 0;
    case TTM_RELAYEVENT: {
        auto* m = reinterpret_cast<const MSG*>(lParam);
        if (!m)
            return 0;
        if (m->message == WM_MOUSEMOVE)
        {
            int tool = ToolAt(*s, *m);
            s->hover = tool;
            if (tool < 0)
                Hide(hwnd, *s);
            else if (tool != s->shown)
                Show(hwnd, *s, tool);
        }
        else if (m->message == WM_LBUTTONDOWN || m->message == WM_RBUTTONDOWN || m->message == WM_MOUSELEAVE)
        {
            s->hover = -1;
            Hide(hwnd, *s);
        }
        return 0;
    }
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        return HTNOWHERE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace

void RegisterCommonControlClasses()
{
    RegisterSystemClass(TOOLTIPS_CLASSW, CS_DBLCLKS | CS_SAVEBITS, TooltipProc, nullptr);
}
} // namespace qm::win

QMAPI BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce)
{
    if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    qm::win::EnsureSystemClasses();
    return TRUE;
}

QMAPI void WINAPI InitCommonControls(void) { qm::win::EnsureSystemClasses(); }
