// Popup menus as Windows gives them: items by command and by position, and TrackPopupMenu
// driven by the keyboard and the mouse (grayed items and separators are passed over, Escape
// and a click elsewhere choose nothing, WM_COMMAND or the id with TPM_RETURNCMD).
#include <functional>

#include "window_test_support.h"

namespace
{
class MenuTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"QmMenuOwner";
        RegisterClassExW(&wc);
        m_owner = CreateWindowExW(0, u"QmMenuOwner", u"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
        m_menu = CreatePopupMenu();
        AppendMenuW(m_menu, MF_STRING, 11, u"&Open\tCtrl+O");
        AppendMenuW(m_menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m_menu, MF_STRING | MF_GRAYED, 12, u"&Grayed");
        AppendMenuA(m_menu, MF_STRING, 13, "&Save");
    }
    void TearDown() override
    {
        DestroyMenu(m_menu);
        DestroyWindow(m_owner);
        WindowTest::TearDown();
    }
    // TrackPopupMenu at (300, 200) while `play` acts on the shown menu window once.
    UINT Track(UINT flags, const std::function<void(HWND)>& play)
    {
        bool played = false;
        qm::win::SetIdleHook([&](HWND) {
            HWND menu = WindowFromPoint({305, 205});
            WCHAR cls[16] = {};
            if (!played && menu && GetClassNameW(menu, cls, 16) && std::u16string(cls) == u"#32768")
            {
                played = true;
                play(menu);
            }
            return true;
        });
        UINT r = UINT(TrackPopupMenu(m_menu, flags, 300, 200, 0, m_owner, nullptr));
        qm::win::SetIdleHook(nullptr);
        EXPECT_TRUE(played);
        return r;
    }
    HWND m_owner = nullptr;
    HMENU m_menu = nullptr;
};
} // namespace

TEST_F(MenuTest, ItemsByCommandAndByPosition)
{
    EXPECT_EQ(4, GetMenuItemCount(m_menu));
    EXPECT_EQ(11u, GetMenuItemID(m_menu, 0));
    EXPECT_EQ(UINT(-1), GetMenuItemID(m_menu, 1)) << "a separator";
    EXPECT_EQ(UINT(-1), GetMenuItemID(m_menu, 9));
    EXPECT_EQ(UINT(MF_GRAYED), GetMenuState(m_menu, 12, MF_BYCOMMAND));
    EXPECT_EQ(UINT(MF_SEPARATOR), GetMenuState(m_menu, 1, MF_BYPOSITION));
    EXPECT_EQ(UINT(-1), GetMenuState(m_menu, 99, MF_BYCOMMAND));
    WCHAR text[32];
    EXPECT_EQ(5, GetMenuStringW(m_menu, 13, text, 32, MF_BYCOMMAND));
    EXPECT_EQ(std::u16string(u"&Save"), text);
    EXPECT_EQ(BOOL(MF_GRAYED), EnableMenuItem(m_menu, 12, MF_BYCOMMAND | MF_ENABLED)) << "the previous state";
    EXPECT_EQ(0u, GetMenuState(m_menu, 12, MF_BYCOMMAND));
    EXPECT_EQ(-1, EnableMenuItem(m_menu, 99, MF_BYCOMMAND));
    HMENU gone = CreatePopupMenu();
    EXPECT_TRUE(DestroyMenu(gone));
    EXPECT_FALSE(IsMenu(gone));
    EXPECT_FALSE(AppendMenuW(gone, MF_STRING, 1, u"x"));
    EXPECT_EQ(DWORD(ERROR_INVALID_MENU_HANDLE), GetLastError());
}

TEST_F(MenuTest, KeyboardPassesOverSeparatorsAndGrayedItems)
{
    struct Case
    {
        const char* name;
        std::vector<UINT> keys;
        UINT chosen;
    } cases[] = {
        {"down, down, enter", {VK_DOWN, VK_DOWN, VK_RETURN}, 13},
        {"down wraps to the first", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, 11},
        {"up from nothing is the last", {VK_UP, VK_RETURN}, 13},
        {"a mnemonic", {'S'}, 13},
        {"a grayed item's mnemonic", {'G', VK_ESCAPE}, 0},
        {"escape", {VK_DOWN, VK_ESCAPE}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.chosen, Track(TPM_RETURNCMD, [&](HWND) {
                      for (UINT vk : c.keys)
                          qm::win::InjectKey(vk);
                  }));
        MSG m;
        EXPECT_FALSE(PeekMessageW(&m, m_owner, WM_COMMAND, WM_COMMAND, PM_NOREMOVE)) << "TPM_RETURNCMD posts nothing";
    }
}

TEST_F(MenuTest, MouseChoosesOrDismisses)
{
    // Rows: 2 px border, "Open" 22 px, separator 9 px, "Grayed" 22 px, "Save" 22 px.
    EXPECT_TRUE(Track(0, [](HWND menu) {
        POINT save = qm::win::ClientPointToScreen(menu, 40, 2 + 22 + 9 + 22 + 11);
        qm::win::InjectClick(save.x, save.y);
    }));
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, m_owner, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(13u, m.wParam);

    EXPECT_EQ(0u, Track(TPM_RETURNCMD, [](HWND menu) {
                  POINT grayed = qm::win::ClientPointToScreen(menu, 40, 2 + 22 + 9 + 11);
                  qm::win::InjectClick(grayed.x, grayed.y);
                  qm::win::InjectKey(VK_ESCAPE);
              })) << "a grayed item cannot be chosen";
    EXPECT_EQ(0u, Track(TPM_RETURNCMD, [](HWND) { qm::win::InjectClick(120, 120); })) << "a click elsewhere";
}
