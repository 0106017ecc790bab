// An owner-drawn list in a dialog, drawn the way the certificate list draws its cards:
// reflected WM_DRAWITEM, an off-screen card per item, gradients and rounded borders, the
// hover row following injected mouse moves, WM_MOUSELEAVE, a tooltip, and no GDI growth.
#include "window_test_support.h"

namespace
{
constexpr int kList = 1001;
constexpr COLORREF kSelectedTop = RGB(0xDD, 0xEC, 0xFD), kSelectedBottom = RGB(0xC2, 0xDC, 0xFD);
constexpr COLORREF kSelectedBorder = RGB(0x7D, 0xB6, 0xCE);
constexpr COLORREF kHotTop = RGB(0xFD, 0xFE, 0xFF), kHotBottom = RGB(0xB9, 0xD7, 0xFC);

struct ListState
{
    WNDPROC previous = nullptr;
    HWND tooltip = nullptr;
    bool tracked = false;
    int leaves = 0;
    int reflectedDraws = 0;
    int reflectedMeasures = 0;
};
ListState g_list;

int HotItem(HWND list)
{
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(list, &pt);
    for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i)
    {
        RECT r;
        SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        if (PtInRect(&r, pt))
            return i;
    }
    return -1;
}

void Vertex(TRIVERTEX& v, LONG x, LONG y, COLORREF c)
{
    v = {x, y, static_cast<COLOR16>(GetRValue(c) << 8), static_cast<COLOR16>(GetGValue(c) << 8),
         static_cast<COLOR16>(GetBValue(c) << 8), 0};
}

void DrawCard(HWND list, const DRAWITEMSTRUCT* dis)
{
    if (dis->itemID == static_cast<UINT>(-1))
        return;
    int w = dis->rcItem.right - dis->rcItem.left, h = dis->rcItem.bottom - dis->rcItem.top;
    HDC mem = CreateCompatibleDC(dis->hDC);
    HBITMAP bmp = CreateCompatibleBitmap(dis->hDC, w, h);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    RECT all{0, 0, w, h};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    bool selected = dis->itemState & ODS_SELECTED;
    bool hot = HotItem(list) == static_cast<int>(dis->itemID);
    if (selected || hot)
    {
        TRIVERTEX v[2];
        Vertex(v[0], 1, 1, selected ? kSelectedTop : kHotTop);
        Vertex(v[1], w - 1, h - 1, selected ? kSelectedBottom : kHotBottom);
        GRADIENT_RECT gr{0, 1};
        GradientFill(mem, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
        HPEN pen = CreatePen(PS_SOLID, 1, selected ? kSelectedBorder : RGB(0xF3, 0xF8, 0xFF));
        HGDIOBJ oldPen = SelectObject(mem, pen);
        HGDIOBJ oldBrush = SelectObject(mem, GetStockObject(NULL_BRUSH));
        RoundRect(mem, 0, 0, w, h, 6, 6);
        SelectObject(mem, oldBrush);
        SelectObject(mem, oldPen);
        DeleteObject(pen);
    }
    LOGFONTW lf;
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = 16;
    lf.lfWidth = 8;
    std::u16string face = u"Arial";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    lf.lfFaceName[face.size()] = 0;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(mem, font);
    SetTextColor(mem, 0);
    SetBkMode(mem, TRANSPARENT);
    std::u16string text = u"Certificate " + std::u16string(1, char16_t(u'A' + dis->itemID));
    RECT t{0, 0, 0, 0};
    DrawTextW(mem, text.c_str(), -1, &t, DT_CALCRECT);
    OffsetRect(&t, 80, 5);
    DrawTextW(mem, text.c_str(), -1, &t, 0);
    SelectObject(mem, oldFont);
    DeleteObject(font);
    BitBlt(dis->hDC, dis->rcItem.left, dis->rcItem.top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
    if (hot)
    {
        WCHAR current[256] = {};
        TTTOOLINFOW ti{sizeof ti, TTF_IDISHWND, GetParent(list), reinterpret_cast<UINT_PTR>(list)};
        ti.lpszText = current;
        SendMessageW(g_list.tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
        if (text != current)
        {
            ti.lpszText = text.data();
            SendMessageW(g_list.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case OCM_MEASUREITEM:
        ++g_list.reflectedMeasures;
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 80;
        return TRUE;
    case OCM_DRAWITEM:
        ++g_list.reflectedDraws;
        DrawCard(hwnd, reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_MOUSEMOVE: {
        if (!g_list.tracked)
        {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
            g_list.tracked = TrackMouseEvent(&tme);
        }
        MSG m{hwnd, msg, wParam, lParam};
        SendMessageW(g_list.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
    }
    case WM_MOUSELEAVE:
        ++g_list.leaves;
        g_list.tracked = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
    }
    return CallWindowProcW(g_list.previous, hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK ReflectingDialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_INITDIALOG: {
        HWND list = GetDlgItem(hDlg, kList);
        g_list.previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
        g_list.tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                         CW_USEDEFAULT, list, nullptr, nullptr, nullptr);
        TTTOOLINFOW ti{sizeof ti, TTF_IDISHWND, hDlg, reinterpret_cast<UINT_PTR>(list)};
        ti.lpszText = const_cast<LPWSTR>(u"");
        SendMessageW(g_list.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        SendMessageW(g_list.tooltip, TTM_ACTIVATE, TRUE, 0);
        for (int i = 0; i < 4; ++i)
            SendMessageW(list, LB_ADDSTRING, 0, 0);
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        return TRUE;
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM: {
        // Reflection: the notification goes back to the control as message + OCM__BASE.
        HWND control = msg == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem
                                          : GetDlgItem(hDlg, static_cast<int>(wParam));
        SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, SendMessageW(control, msg + OCM__BASE, wParam, lParam));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

class OwnerDrawTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        g_list = {};
    }
    // A point of row `row` (x, y inside the card) in window coordinates of the dialog.
    static POINT InWindow(HWND dlg, int row, int x, int y)
    {
        POINT p = qm::win::ClientPointToScreen(GetDlgItem(dlg, kList), x, row * 80 + y);
        RECT w;
        GetWindowRect(dlg, &w);
        return {p.x - w.left, p.y - w.top};
    }
    static COLORREF At(HWND dlg, int row, int x, int y)
    {
        POINT p = InWindow(dlg, row, x, y);
        return qm::win::WindowPixel(dlg, p.x, p.y);
    }
};
} // namespace

TEST_F(OwnerDrawTest, CardsHoverLeaveTooltipAndNoGdiGrowth)
{
    struct Seen
    {
        COLORREF selTop, selBottom, selBorder, row1, hotTop, hotBottom, row2AfterLeave, hotWhileSelected;
        bool tipVisible;
        std::u16string tip;
        int leaves;
        size_t objectsBefore, objectsAfter, surfacesBefore, surfacesAfter;
    } seen{};
    int turns = 0;
    qm::win::SetIdleHook([&](HWND dlg) {
        HWND list = GetDlgItem(dlg, kList);
        switch (++turns)
        {
        case 1: {
            qm::win::RenderWindowToPng(dlg, OutputPng("owner_draw_initial"));
            seen.selTop = At(dlg, 0, 100, 2);
            seen.selBottom = At(dlg, 0, 100, 77);
            seen.selBorder = At(dlg, 0, 100, 0);
            seen.row1 = At(dlg, 1, 100, 40);
            POINT p = qm::win::ClientPointToScreen(list, 60, 2 * 80 + 40);
            qm::win::InjectMouseMove(p.x, p.y);
            break;
        }
        case 2: {
            qm::win::RenderWindowToPng(dlg, OutputPng("owner_draw_hover_row3"));
            seen.hotTop = At(dlg, 2, 100, 2);
            seen.hotBottom = At(dlg, 2, 100, 77);
            seen.hotWhileSelected = At(dlg, 0, 100, 2);
            seen.tipVisible = IsWindowVisible(g_list.tooltip);
            WCHAR text[64] = {};
            GetWindowTextW(g_list.tooltip, text, 64);
            seen.tip = text;
            POINT p = qm::win::ClientPointToScreen(list, 60, 40);
            for (int i = 0; i < 100; ++i)
                qm::win::InjectMouseMove(p.x + (i % 50), p.y + (i % 150));
            break;
        }
        default:
            if (turns >= 3 && turns < 1003)
            {
                // 1,000 moves over the rows, one per turn: each repaints the list card by card.
                if (turns == 3)
                {
                    seen.objectsBefore = qm::win::LiveGdiObjects();
                    seen.surfacesBefore = qm::win::LiveSurfaces();
                }
                POINT p = qm::win::ClientPointToScreen(list, 60 + turns % 50, (turns * 7) % 240);
                qm::win::InjectMouseMove(p.x, p.y);
            }
            else if (turns == 1003)
            {
                UpdateWindow(dlg);
                seen.objectsAfter = qm::win::LiveGdiObjects();
                seen.surfacesAfter = qm::win::LiveSurfaces();
                RECT r;
                GetWindowRect(dlg, &r);
                qm::win::InjectMouseMove(r.left + 5, r.top + 40); // off the list, onto the dialog
            }
            else if (turns == 1004)
            {
                seen.row2AfterLeave = At(dlg, 2, 100, 2);
                seen.leaves = g_list.leaves;
                qm::win::InjectKey(VK_RETURN);
            }
            else if (turns > 1050)
                EndDialog(dlg, 99);
        }
        return true;
    });
    INT_PTR r = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), nullptr, ReflectingDialogProc, 0);
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(g_list.reflectedMeasures, 4);
    EXPECT_GT(g_list.reflectedDraws, 4);
    EXPECT_TRUE(Near(seen.selTop, kSelectedTop, 3));
    EXPECT_TRUE(Near(seen.selBottom, kSelectedBottom, 3));
    EXPECT_EQ(seen.selBorder, kSelectedBorder);
    EXPECT_EQ(seen.row1, RGB(255, 255, 255));
    EXPECT_TRUE(Near(seen.hotTop, kHotTop, 3));
    EXPECT_TRUE(Near(seen.hotBottom, kHotBottom, 3));
    EXPECT_TRUE(Near(seen.hotWhileSelected, kSelectedTop, 3)); // the selection keeps its colours
    EXPECT_TRUE(seen.tipVisible);
    EXPECT_EQ(seen.tip, u"Certificate C");
    EXPECT_EQ(seen.objectsAfter, seen.objectsBefore);
    EXPECT_EQ(seen.surfacesAfter, seen.surfacesBefore);
    EXPECT_EQ(seen.row2AfterLeave, RGB(255, 255, 255));
    EXPECT_GE(seen.leaves, 1);
}
