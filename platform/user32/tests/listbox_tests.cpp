// The list box's messages and their results, as Windows gives them.
#include "window_test_support.h"

namespace
{
HWND g_parent = nullptr;
std::vector<RecordedMessage> g_parentMessages;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_MEASUREITEM)
    {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        mis->itemHeight = 20 + 10 * mis->itemID; // variable heights: 20, 30, 40, ...
        g_parentMessages.push_back({hwnd, msg, wParam, static_cast<LPARAM>(mis->itemData)});
        return TRUE;
    }
    if (msg == WM_DELETEITEM || msg == WM_COMMAND)
        g_parentMessages.push_back({hwnd, msg, wParam, lParam});
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class ListBoxTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        WNDCLASSEXW wc{sizeof wc};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"ListParent";
        RegisterClassExW(&wc);
        g_parent = CreateWindowExW(0, u"ListParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr, nullptr,
                                   nullptr, nullptr);
        g_parentMessages.clear();
    }
    void TearDown() override
    {
        DestroyWindow(g_parent);
        UnregisterClassW(u"ListParent", nullptr);
        WindowTest::TearDown();
    }
    HWND Make(DWORD style, int height = 100)
    {
        return CreateWindowExW(0, u"ListBox", nullptr, WS_CHILD | WS_VISIBLE | style, 0, 0, 200, height, g_parent,
                               reinterpret_cast<HMENU>(7), nullptr, nullptr);
    }
};
} // namespace

TEST_F(ListBoxTest, ResultsOfTheMessages)
{
    HWND list = Make(LBS_OWNERDRAWVARIABLE | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL);
    ASSERT_NE(list, nullptr);
    auto send = [&](UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(list, m, w, l); };
    RECT r{};
    struct Case
    {
        const char* what;
        LRESULT got, expected;
    };
    Case empty[] = {
        {"count of an empty list", send(LB_GETCOUNT), 0},
        {"no selection", send(LB_GETCURSEL), LB_ERR},
        {"item rectangle of a missing item", send(LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)), LB_ERR},
        {"select a missing item", send(LB_SETCURSEL, 0), LB_ERR},
    };
    for (const auto& c : empty)
        EXPECT_EQ(c.got, c.expected) << c.what;

    // Owner-drawn without LBS_HASSTRINGS: the "string" is the item data.
    Case filled[] = {
        {"first added item", send(LB_ADDSTRING, 0, 0xA0), 0},
        {"second added item", send(LB_ADDSTRING, 0, 0xA1), 1},
        {"inserted at 0", send(LB_INSERTSTRING, 0, 0xA2), 0},
        {"insert past the end", send(LB_INSERTSTRING, 9, 0xA3), LB_ERR},
        {"count", send(LB_GETCOUNT), 3},
        {"data of item 1 (moved down by the insert)", send(LB_GETITEMDATA, 1), 0xA0},
        {"data of a missing item", send(LB_GETITEMDATA, 3), LB_ERR},
        {"select item 2", send(LB_SETCURSEL, 2), 2},
        {"selection", send(LB_GETCURSEL), 2},
        {"select -1 (clears, yet answers LB_ERR)", send(LB_SETCURSEL, static_cast<WPARAM>(-1)), LB_ERR},
        {"selection cleared", send(LB_GETCURSEL), LB_ERR},
        {"select out of range", send(LB_SETCURSEL, 3), LB_ERR},
        {"height measured by the parent for item 0", send(LB_GETITEMHEIGHT, 0), 20},
        {"height of item 2 (measured as item 1 when added)", send(LB_GETITEMHEIGHT, 2), 30},
        {"item rectangle", send(LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)), 1},
        {"delete answers the remaining count", send(LB_DELETESTRING, 0), 2},
        {"delete a missing item", send(LB_DELETESTRING, 5), LB_ERR},
        {"text length of data items", send(LB_GETTEXTLEN, 0), static_cast<LRESULT>(sizeof(ULONG_PTR))},
    };
    for (const auto& c : filled)
        EXPECT_EQ(c.got, c.expected) << c.what;
    EXPECT_EQ(r.top, 20); // item 1 sits below item 0's 20 pixels
    EXPECT_EQ(r.bottom, 40);
    // Each added item was measured once, with its index and data, before it was drawn.
    int measures = 0;
    for (const auto& m : g_parentMessages)
        measures += m.message == WM_MEASUREITEM;
    EXPECT_EQ(measures, 3);
    // Owner-drawn items are deleted through the parent.
    EXPECT_TRUE(std::any_of(g_parentMessages.begin(), g_parentMessages.end(),
                            [](const RecordedMessage& m) { return m.message == WM_DELETEITEM; }));
    // Programmatic selection does not notify.
    EXPECT_FALSE(std::any_of(g_parentMessages.begin(), g_parentMessages.end(), [](const RecordedMessage& m) {
        return m.message == WM_COMMAND && HIWORD(m.wParam) == LBN_SELCHANGE;
    }));
    EXPECT_EQ(send(LB_RESETCONTENT), TRUE);
    EXPECT_EQ(send(LB_GETCOUNT), 0);
}

TEST_F(ListBoxTest, StringsItemFromPointAndScrolling)
{
    HWND list = Make(LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, 60);
    for (const char16_t* s : {u"alpha", u"beta", u"gamma", u"delta", u"epsilon", u"zeta", u"eta", u"theta"})
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    WCHAR text[16];
    EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(text)), 5);
    EXPECT_EQ(std::u16string(text), u"gamma");
    LRESULT h = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    ASSERT_GT(h, 0);
    // A point on the second row; a point below the items is "outside" (high word 1).
    EXPECT_EQ(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, h + 1)), MAKELRESULT(1, 0));
    EXPECT_EQ(HIWORD(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 1000))), 1);
    // More items than fit: the scroll bar takes its width from the client area.
    RECT c;
    GetClientRect(list, &c);
    EXPECT_EQ(c.right, 200 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(SendMessageW(list, LB_SETTOPINDEX, 3, 0), 0);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 3);
    RECT r;
    SendMessageW(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.top, 0);
    SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.top, -h); // above the visible part
    EXPECT_EQ(SendMessageW(list, LB_SETTOPINDEX, 8, 0), LB_ERR);
}
