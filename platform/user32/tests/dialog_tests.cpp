// Modal dialogs from templates: creation order, focus, dialog units, the keyboard and the
// close box, creation failures, and an owner-drawn list box inside the dialog.
#include <functional>

#include "window_test_support.h"

namespace
{
constexpr int kList = 1001;

struct DialogRun
{
    std::vector<RecordedMessage> messages;
    std::function<void(HWND)> onInit;
    std::function<bool(HWND, UINT, WPARAM, LPARAM, INT_PTR*)> extra;
    bool closeOnInit = false;
    UINT itemHeight = 80;
};
DialogRun* g_run = nullptr;

bool Recorded(UINT m)
{
    return m == WM_SETFONT || m == WM_INITDIALOG || m == WM_MEASUREITEM || m == WM_DRAWITEM || m == WM_COMMAND ||
           m == WM_CLOSE;
}

INT_PTR CALLBACK TestDialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (Recorded(msg))
        g_run->messages.push_back({hDlg, msg, wParam, lParam});
    INT_PTR result = 0;
    if (g_run->extra && g_run->extra(hDlg, msg, wParam, lParam, &result))
        return result;
    switch (msg)
    {
    case WM_INITDIALOG:
        if (g_run->onInit)
            g_run->onInit(hDlg);
        if (g_run->closeOnInit)
            SendMessageW(hDlg, WM_CLOSE, 0, 0);
        return TRUE;
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = g_run->itemHeight;
        return TRUE;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (dis->itemID == static_cast<UINT>(-1))
            return TRUE;
        HBRUSH b = CreateSolidBrush((dis->itemState & ODS_SELECTED) ? RGB(0xC2, 0xDC, 0xFD) : RGB(255, 255, 255));
        FillRect(dis->hDC, &dis->rcItem, b);
        DeleteObject(b);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// Runs dialog `id`, calling `step` on idle with the dialog and the idle count. A dialog that
// has not ended after 200 idle turns ends with 99.
INT_PTR RunDialog(DialogRun& run, int id, const std::function<void(HWND, int)>& step, HWND owner = nullptr)
{
    g_run = &run;
    int turns = 0;
    qm::win::SetIdleHook([&](HWND dlg) {
        if (++turns > 200)
        {
            EndDialog(dlg, 99);
            return true;
        }
        step(dlg, turns);
        return true;
    });
    INT_PTR r = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner, TestDialogProc, 0x5EED);
    qm::win::SetIdleHook(nullptr);
    g_run = nullptr;
    return r;
}

void AddItems(HWND hDlg, int count)
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageW(hDlg, kList, LB_ADDSTRING, 0, 0x100 + i);
    SendDlgItemMessageW(hDlg, kList, LB_SETCURSEL, 0, 0);
}

std::vector<UINT> Sequence(const DialogRun& run)
{
    std::vector<UINT> out;
    for (const auto& m : run.messages)
        out.push_back(m.message);
    return out;
}
} // namespace

class DialogTest : public WindowTest
{
};

TEST_F(DialogTest, CreationOrderFocusAndOwnerDrawing)
{
    DialogRun run;
    run.onInit = [](HWND d) { AddItems(d, 3); };
    HWND focusAtIdle = nullptr, okButton = nullptr;
    RECT second{};
    INT_PTR r = RunDialog(run, 100, [&](HWND dlg, int turn) {
        if (turn == 1)
        {
            focusAtIdle = GetFocus();
            okButton = GetDlgItem(dlg, IDOK);
            SendDlgItemMessageW(dlg, kList, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
            qm::win::InjectKey(VK_RETURN);
        }
    });
    EXPECT_EQ(r, IDOK);
    // The font first, then WM_INITDIALOG with the init parameter, one WM_MEASUREITEM per
    // added item (from inside WM_INITDIALOG), the items drawn once shown, then Enter.
    std::vector<UINT> seq = Sequence(run);
    std::vector<UINT> expected = {WM_SETFONT,    WM_INITDIALOG, WM_MEASUREITEM, WM_MEASUREITEM, WM_MEASUREITEM,
                                  WM_DRAWITEM,   WM_DRAWITEM,   WM_DRAWITEM,    WM_COMMAND};
    EXPECT_EQ(seq, expected);
    ASSERT_EQ(run.messages.size(), expected.size());
    EXPECT_EQ(run.messages[1].lParam, 0x5EED);
    for (int i = 0; i < 3; ++i)
    {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(run.messages[2 + i].lParam);
        (void)mis; // the record lives only during the call; the order is what counts here
        EXPECT_EQ(run.messages[2 + i].wParam, static_cast<WPARAM>(kList));
    }
    EXPECT_EQ(run.messages.back().wParam, MAKEWPARAM(IDOK, BN_CLICKED));
    // WM_INITDIALOG returned TRUE: the first tab stop (OK) has the focus, so Enter is OK.
    EXPECT_EQ(focusAtIdle, okButton);
    EXPECT_EQ(second.top, 80);
    EXPECT_EQ(second.bottom, 160);
}

TEST_F(DialogTest, KeysAndCloseBoxEndTheDialog)
{
    struct Case
    {
        const char* name;
        std::function<void(HWND)> input;
        INT_PTR result;
        bool closeSeen;
    } cases[] = {
        {"Enter presses the default button", [](HWND) { qm::win::InjectKey(VK_RETURN); }, IDOK, false},
        {"Escape sends IDCANCEL", [](HWND) { qm::win::InjectKey(VK_ESCAPE); }, IDCANCEL, false},
        {"the close box sends WM_CLOSE, then IDCANCEL", [](HWND d) { qm::win::InjectCloseBox(d); }, IDCANCEL, true},
        {"a click on Cancel", [](HWND d) {
             RECT r;
             GetWindowRect(GetDlgItem(d, IDCANCEL), &r);
             qm::win::InjectClick((r.left + r.right) / 2, (r.top + r.bottom) / 2);
         }, IDCANCEL, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        DialogRun run;
        INT_PTR r = RunDialog(run, 100, [&](HWND dlg, int turn) {
            if (turn == 1)
                c.input(dlg);
        });
        EXPECT_EQ(r, c.result);
        auto seq = Sequence(run);
        EXPECT_EQ(std::count(seq.begin(), seq.end(), WM_CLOSE), c.closeSeen ? 1 : 0);
        ASSERT_FALSE(run.messages.empty());
        EXPECT_EQ(LOWORD(run.messages.back().wParam), c.result);
    }
}

TEST_F(DialogTest, CloseDuringInitEndsThroughCancel)
{
    DialogRun run;
    run.closeOnInit = true;
    INT_PTR r = RunDialog(run, 100, [](HWND, int) {});
    EXPECT_EQ(r, IDCANCEL);
    auto seq = Sequence(run);
    ASSERT_GE(seq.size(), 3u);
    EXPECT_EQ(seq[1], static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(seq[2], static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(run.messages.back().wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
}

TEST_F(DialogTest, DialogUnitsFollowTheTemplateFont)
{
    DialogRun run;
    RECT units{0, 0, 4, 8}, client{}, list{}, ok{};
    SIZE fontUnits{};
    RunDialog(run, 100, [&](HWND dlg, int) {
        MapDialogRect(dlg, &units);
        GetClientRect(dlg, &client);
        GetWindowRect(GetDlgItem(dlg, kList), &list);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&list), 2);
        GetWindowRect(GetDlgItem(dlg, IDOK), &ok);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&ok), 2);
        // Base units as Windows derives them from the dialog font: the average width of
        // the 52 letters, rounded, and the font's height.
        HDC dc = GetDC(dlg);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0)));
        SIZE s;
        GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &s);
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        fontUnits = {(s.cx / 26 + 1) / 2, tm.tmHeight};
        SelectObject(dc, old);
        ReleaseDC(dlg, dc);
        EndDialog(dlg, IDOK);
    });
    int cx = units.right, cy = units.bottom;
    EXPECT_EQ(cx, fontUnits.cx);
    EXPECT_EQ(cy, fontUnits.cy);
    // 8-point "MS Shell Dlg" gives about 6 x 13 on Windows; the stand-in face is close.
    EXPECT_GE(cx, 5);
    EXPECT_LE(cx, 7);
    EXPECT_GE(cy, 12);
    EXPECT_LE(cy, 15);
    auto px = [](int v, int base, int div) { return (v * base + div / 2) / div; };
    EXPECT_EQ(client.right, px(282, cx, 4));
    EXPECT_EQ(client.bottom, px(329, cy, 8));
    EXPECT_EQ(list.left, px(13, cx, 4));
    EXPECT_EQ(list.top, px(37, cy, 8));
    EXPECT_EQ(list.right, px(13 + 255, cx, 4));
    EXPECT_EQ(list.bottom, px(37 + 264, cy, 8));
    EXPECT_EQ(ok.left, px(170, cx, 4));
    EXPECT_EQ(ok.bottom, px(308 + 14, cy, 8));
}

TEST_F(DialogTest, ClassicTemplateAndCentring)
{
    DialogRun run;
    RECT window{};
    std::u16string label(16, u'\0'), caption(16, u'\0');
    INT_PTR r = RunDialog(run, 200, [&](HWND dlg, int) {
        GetWindowRect(dlg, &window);
        label.resize(GetDlgItemTextW(dlg, 5, label.data(), 16));
        caption.resize(GetWindowTextW(dlg, caption.data(), 16));
        qm::win::InjectKey(VK_ESCAPE);
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_EQ(label, u"Label");
    EXPECT_EQ(caption, u"Classic");
    EXPECT_GT(window.right, window.left);

    DialogRun centred;
    RunDialog(centred, 100, [&](HWND dlg, int) {
        GetWindowRect(dlg, &window);
        EndDialog(dlg, IDOK);
    });
    // DS_CENTER: centred on the screen.
    EXPECT_LE(std::abs((window.left + window.right) / 2 - 960), 1);
    EXPECT_LE(std::abs((window.top + window.bottom) / 2 - 540), 1);
}

TEST_F(DialogTest, DialogsThatCannotBeCreated)
{
    DialogRun run;
    g_run = &run;
    SetLastError(0);
    EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), reinterpret_cast<HWND>(0x7777),
                              TestDialogProc, 0),
              -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(999), nullptr, TestDialogProc, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    // A control whose class does not exist: the dialog is not created.
    EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(300), nullptr, TestDialogProc, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_TRUE(run.messages.empty());
    g_run = nullptr;
}

TEST_F(DialogTest, ListNotificationsFromTheMouse)
{
    DialogRun run;
    run.onInit = [](HWND d) { AddItems(d, 3); };
    std::vector<WORD> codes;
    run.extra = [&](HWND, UINT msg, WPARAM wParam, LPARAM, INT_PTR*) {
        if (msg == WM_COMMAND && LOWORD(wParam) == kList)
            codes.push_back(HIWORD(wParam));
        return false;
    };
    LRESULT selected = -5;
    RunDialog(run, 100, [&](HWND dlg, int turn) {
        HWND list = GetDlgItem(dlg, kList);
        if (turn == 1)
        {
            POINT p = qm::win::ClientPointToScreen(list, 40, 80 + 40);
            qm::win::InjectDoubleClick(p.x, p.y);
        }
        else if (turn == 2)
        {
            selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
            EndDialog(dlg, IDOK);
        }
    });
    EXPECT_EQ(selected, 1);
    // The first press selects (LBN_SELCHANGE), the second is the double-click; the focus
    // moved to the list (LBN_SETFOCUS) first.
    EXPECT_EQ(codes, (std::vector<WORD>{LBN_SETFOCUS, LBN_SELCHANGE, LBN_DBLCLK, LBN_KILLFOCUS}));
}
