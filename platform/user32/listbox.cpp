// The list box: items with text or data, variable or fixed heights (WM_MEASUREITEM), owner
// drawing (WM_DRAWITEM), single selection, notifications, scrolling and the LB_* messages.
#include <algorithm>
#include <cstring>

#include "controls.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
struct Item
{
    std::u16string text;
    ULONG_PTR data = 0;
    UINT height = 0;
};

struct ListState
{
    std::vector<Item> items;
    int selected = -1;
    int top = 0;
    UINT fixedHeight = 16;
};

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
bool OwnerDraw(HWND hwnd) { return StyleOf(hwnd) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE); }
bool Variable(HWND hwnd) { return StyleOf(hwnd) & LBS_OWNERDRAWVARIABLE; }
bool HasStrings(HWND hwnd) { return !OwnerDraw(hwnd) || (StyleOf(hwnd) & LBS_HASSTRINGS); }

UINT FontHeight(HWND hwnd)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return static_cast<UINT>(tm.tmHeight);
}

UINT HeightOf(HWND hwnd, const ListState& s, int i)
{
    return Variable(hwnd) ? s.items[i].height : s.fixedHeight;
}

int ClientHeight(HWND hwnd)
{
    RECT r;
    GetClientRect(hwnd, &r);
    return r.bottom;
}

// Items that fit entirely from `from` on.
int FittingFrom(HWND hwnd, const ListState& s, int from)
{
    int h = ClientHeight(hwnd), n = 0;
    for (int i = from, y = 0; i < static_cast<int>(s.items.size()); ++i)
    {
        y += HeightOf(hwnd, s, i);
        if (y > h)
            break;
        ++n;
    }
    return std::max(n, 1);
}

int MaxTop(HWND hwnd, const ListState& s)
{
    int n = static_cast<int>(s.items.size());
    int h = ClientHeight(hwnd), y = 0, top = n;
    while (top > 0 && y + static_cast<int>(HeightOf(hwnd, s, top - 1)) <= h)
        y += HeightOf(hwnd, s, --top);
    return std::min(top, std::max(n - 1, 0));
}

void SyncScrollBar(HWND hwnd, ListState& s)
{
    int total = 0;
    for (int i = 0; i < static_cast<int>(s.items.size()); ++i)
        total += HeightOf(hwnd, s, i);
    s.top = std::clamp(s.top, 0, MaxTop(hwnd, s));
    bool overflow = total > ClientHeight(hwnd);
    int count = static_cast<int>(s.items.size());
    UpdateScrollBar(hwnd, overflow ? count - 1 : 0, FittingFrom(hwnd, s, s.top), s.top);
}

bool ItemRect(HWND hwnd, const ListState& s, int index, RECT* out)
{
    if (index < 0 || index >= static_cast<int>(s.items.size()))
        return false;
    RECT c;
    GetClientRect(hwnd, &c);
    int y = 0;
    if (index >= s.top)
        for (int i = s.top; i < index; ++i)
            y += HeightOf(hwnd, s, i);
    else
        for (int i = index; i < s.top; ++i)
            y -= HeightOf(hwnd, s, i);
    *out = {0, y, c.right, y + static_cast<LONG>(HeightOf(hwnd, s, index))};
    return true;
}

int ItemAt(HWND hwnd, const ListState& s, POINT pt)
{
    for (int i = s.top; i < static_cast<int>(s.items.size()); ++i)
    {
        RECT r;
        ItemRect(hwnd, s, i, &r);
        if (r.top > pt.y)
            break;
        if (PtInRect(&r, pt))
            return i;
    }
    return -1;
}

void Measure(HWND hwnd, ListState& s, int index)
{
    Item& item = s.items[index];
    item.height = s.fixedHeight;
    if (!Variable(hwnd))
        return;
    RECT c;
    GetClientRect(hwnd, &c);
    MEASUREITEMSTRUCT mis{ODT_LISTBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(index),
                          static_cast<UINT>(c.right), s.fixedHeight, item.data};
    SendMessageW(GetParent(hwnd), WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
    if (StateOf<ListState>(hwnd) == &s && index < static_cast<int>(s.items.size()))
        s.items[index].height = std::min<UINT>(mis.itemHeight, 255);
}

void EnsureVisible(HWND hwnd, ListState& s, int index)
{
    if (index < 0)
        return;
    if (index < s.top)
        s.top = index;
    else
        while (index >= s.top + FittingFrom(hwnd, s, s.top) && s.top < index)
            ++s.top;
}

LRESULT Insert(HWND hwnd, ListState& s, int index, LPARAM lParam)
{
    Item item;
    if (HasStrings(hwnd))
        item.text = WideOrEmpty(reinterpret_cast<LPCWSTR>(lParam));
    else
        item.data = static_cast<ULONG_PTR>(lParam);
    int count = static_cast<int>(s.items.size());
    if (index < 0 || index > count)
        index = count;
    if (index == count && (StyleOf(hwnd) & LBS_SORT) && HasStrings(hwnd))
    {
        index = 0;
        while (index < count && lstrcmpiW(s.items[index].text.c_str(), item.text.c_str()) <= 0)
            ++index;
    }
    s.items.insert(s.items.begin() + index, std::move(item));
    if (s.selected >= index)
        ++s.selected;
    Measure(hwnd, s, index);
    SyncScrollBar(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
    return index;
}

void SelectByUser(HWND hwnd, ListState& s, int index)
{
    if (index < 0 || index >= static_cast<int>(s.items.size()) || index == s.selected)
        return;
    s.selected = index;
    EnsureVisible(hwnd, s, index);
    SyncScrollBar(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
    if (StyleOf(hwnd) & LBS_NOTIFY)
        NotifyParent(hwnd, LBN_SELCHANGE);
}

void Paint(HWND hwnd, ListState& s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    RECT c;
    GetClientRect(hwnd, &c);
    HBRUSH bg = ControlBrush(hwnd, dc, WM_CTLCOLORLISTBOX);
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(hwnd));
    bool focused = GetFocus() == hwnd;
    int bottom = 0;
    UINT id = static_cast<UINT>(GetDlgCtrlID(hwnd));
    for (int i = s.top; i < static_cast<int>(s.items.size()); ++i)
    {
        RECT r;
        ItemRect(hwnd, s, i, &r);
        if (r.top >= c.bottom)
            break;
        bottom = r.bottom;
        RECT visible;
        if (!IntersectRect(&visible, &r, &ps.rcPaint))
            continue;
        UINT state = (i == s.selected ? ODS_SELECTED : 0) | (focused && i == s.selected ? ODS_FOCUS : 0);
        if (OwnerDraw(hwnd))
        {
            DRAWITEMSTRUCT dis{ODT_LISTBOX, id, static_cast<UINT>(i), ODA_DRAWENTIRE, state, hwnd, dc, r, s.items[i].data};
            SendMessageW(GetParent(hwnd), WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&dis));
            if (StateOf<ListState>(hwnd) != &s)
                break;
        }
        else
        {
            bool sel = i == s.selected;
            FillRect(dc, &r, sel ? GetSysColorBrush(COLOR_HIGHLIGHT) : bg);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(sel ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            RECT t = r;
            t.left += 2;
            DrawTextW(dc, s.items[i].text.c_str(), -1, &t, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
        }
    }
    RECT rest{0, bottom, c.right, c.bottom};
    if (!IsRectEmpty(&rest))
        FillRect(dc, &rest, bg);
    if (s.items.empty() && focused && OwnerDraw(hwnd))
    {
        // An empty owner-drawn list asks its parent for the focus rectangle alone.
        RECT r{0, 0, c.right, static_cast<LONG>(s.fixedHeight)};
        DRAWITEMSTRUCT dis{ODT_LISTBOX, id, static_cast<UINT>(-1), ODA_FOCUS, ODS_FOCUS, hwnd, dc, r, 0};
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&dis));
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

void Scroll(HWND hwnd, ListState& s, int request)
{
    int old = s.top;
    int page = FittingFrom(hwnd, s, s.top);
    switch (request)
    {
    case SB_LINEUP:
        --s.top;
        break;
    case SB_LINEDOWN:
        ++s.top;
        break;
    case SB_PAGEUP:
        s.top -= page;
        break;
    case SB_PAGEDOWN:
        s.top += page;
        break;
    case SB_TOP:
        s.top = 0;
        break;
    case SB_BOTTOM:
        s.top = MaxTop(hwnd, s);
        break;
    }
    s.top = std::clamp(s.top, 0, MaxTop(hwnd, s));
    if (s.top != old)
    {
        SyncScrollBar(hwnd, s);
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}
} // namespace

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CREATE)
    {
        ListState* s = AttachState<ListState>(hwnd);
        s->fixedHeight = FontHeight(hwnd);
        if (StyleOf(hwnd) & LBS_OWNERDRAWFIXED)
        {
            MEASUREITEMSTRUCT mis{ODT_LISTBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, 0, s->fixedHeight, 0};
            SendMessageW(GetParent(hwnd), WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
            s->fixedHeight = mis.itemHeight;
        }
        return 0;
    }
    ListState* s = StateOf<ListState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    int count = static_cast<int>(s->items.size());
    int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    bool valid = index >= 0 && index < count;
    switch (msg)
    {
    case LB_ADDSTRING:
        return Insert(hwnd, *s, -1, lParam);
    case LB_INSERTSTRING:
        if (index < -1 || index > count)
            return LB_ERR;
        return Insert(hwnd, *s, index, lParam);
    case LB_DELETESTRING: {
        if (!valid)
            return LB_ERR;
        Item item = s->items[index];
        if (OwnerDraw(hwnd))
        {
            DELETEITEMSTRUCT dis{ODT_LISTBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(index), hwnd,
                                 item.data};
            SendMessageW(GetParent(hwnd), WM_DELETEITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        }
        s = StateOf<ListState>(hwnd);
        if (!s || index >= static_cast<int>(s->items.size()))
            return LB_ERR;
        s->items.erase(s->items.begin() + index);
        if (s->selected == index)
            s->selected = -1;
        else if (s->selected > index)
            --s->selected;
        SyncScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return static_cast<LRESULT>(s->items.size());
    }
    case LB_RESETCONTENT:
        s->items.clear();
        s->selected = -1;
        s->top = 0;
        SyncScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case LB_GETCOUNT:
        return count;
    case LB_GETCURSEL:
        return s->selected < 0 ? LB_ERR : s->selected;
    case LB_SETCURSEL:
        if (index == -1)
        {
            s->selected = -1;
            InvalidateRect(hwnd, nullptr, TRUE);
            return LB_ERR; // as on Windows, even though nothing failed
        }
        if (!valid)
            return LB_ERR;
        s->selected = index;
        EnsureVisible(hwnd, *s, index);
        SyncScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return index;
    case LB_GETSEL:
        return valid ? (index == s->selected ? 1 : 0) : LB_ERR;
    case LB_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r || !ItemRect(hwnd, *s, index, r))
            return LB_ERR;
        return 1;
    }
    case LB_GETITEMHEIGHT:
        if (Variable(hwnd))
            return valid ? static_cast<LRESULT>(s->items[index].height) : LB_ERR;
        return s->fixedHeight;
    case LB_SETITEMHEIGHT: {
        UINT h = LOWORD(lParam);
        if (h == 0 || h > 255)
            return LB_ERR;
        if (Variable(hwnd))
        {
            if (!valid)
                return LB_ERR;
            s->items[index].height = h;
        }
        else
            s->fixedHeight = h;
        SyncScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case LB_GETTOPINDEX:
        return s->top;
    case LB_SETTOPINDEX:
        if (!valid && !(index == 0 && count == 0))
            return LB_ERR;
        s->top = std::clamp(index, 0, MaxTop(hwnd, *s));
        SyncScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case LB_ITEMFROMPOINT: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT c;
        GetClientRect(hwnd, &c);
        if (count == 0)
            return MAKELRESULT(0, 1);
        int hit = ItemAt(hwnd, *s, pt);
        bool outside = !PtInRect(&c, pt) || hit < 0;
        if (hit < 0)
        {
            // The nearest item: the first above the point's row, or the last one.
            hit = pt.y < 0 ? s->top : count - 1;
            for (int i = s->top; i < count; ++i)
            {
                RECT r;
                ItemRect(hwnd, *s, i, &r);
                if (r.bottom > pt.y)
                {
                    hit = i;
                    break;
                }
            }
        }
        return MAKELRESULT(hit, outside ? 1 : 0);
    }
    case LB_GETITEMDATA:
        return valid ? static_cast<LRESULT>(s->items[index].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!valid)
            return LB_ERR;
        s->items[index].data = static_cast<ULONG_PTR>(lParam);
        return TRUE;
    case LB_GETTEXTLEN:
        if (!valid)
            return LB_ERR;
        return HasStrings(hwnd) ? static_cast<LRESULT>(s->items[index].text.size()) : sizeof(ULONG_PTR);
    case LB_GETTEXT: {
        if (!valid || !lParam)
            return LB_ERR;
        if (!HasStrings(hwnd))
        {
            memcpy(reinterpret_cast<void*>(lParam), &s->items[index].data, sizeof(ULONG_PTR));
            return sizeof(ULONG_PTR);
        }
        const auto& t = s->items[index].text;
        auto* out = reinterpret_cast<WCHAR*>(lParam);
        std::copy(t.begin(), t.end(), out);
        out[t.size()] = 0;
        return static_cast<LRESULT>(t.size());
    }
    case WM_PAINT:
        Paint(hwnd, *s);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        SyncScrollBar(hwnd, *s);
        return 0;
    case WM_SETFONT:
        DefWindowProcW(hwnd, msg, wParam, lParam);
        if (!OwnerDraw(hwnd))
            s->fixedHeight = FontHeight(hwnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        SetFocus(hwnd);
        s = StateOf<ListState>(hwnd);
        if (!s)
            return 0;
        int hit = ItemAt(hwnd, *s, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        SelectByUser(hwnd, *s, hit);
        if (msg == WM_LBUTTONDBLCLK && (StyleOf(hwnd) & LBS_NOTIFY))
            NotifyParent(hwnd, LBN_DBLCLK);
        return 0;
    }
    case WM_KEYDOWN: {
        int target = s->selected;
        switch (wParam)
        {
        case VK_UP:
            target = std::max(target - 1, 0);
            break;
        case VK_DOWN:
            target = std::min(target + 1, count - 1);
            break;
        case VK_HOME:
            target = 0;
            break;
        case VK_END:
            target = count - 1;
            break;
        case VK_PRIOR:
            target = std::max(target - FittingFrom(hwnd, *s, s->top), 0);
            break;
        case VK_NEXT:
            target = std::min(target + FittingFrom(hwnd, *s, s->top), count - 1);
            break;
        default:
            return 0;
        }
        SelectByUser(hwnd, *s, target);
        return 0;
    }
    case WM_VSCROLL:
        Scroll(hwnd, *s, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        for (int i = 0; i < 3; ++i)
            Scroll(hwnd, *s, delta > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        if (StyleOf(hwnd) & LBS_NOTIFY)
            NotifyParent(hwnd, msg == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace qm::win
