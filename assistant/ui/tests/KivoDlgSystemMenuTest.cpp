// The main dialog's window without pages (headless): the program icon on the window and
// its caption, and the about box opened from the system menu by Alt+Space, by a click on
// the caption's icon and by a right click on the caption, as a person would.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "FakeDispatcher.h"
#include "HtmlDialog.h"
#include "qm/windowing.h"

namespace
{
std::u16string ClassOf(HWND hwnd)
{
    WCHAR name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::u16string TextOf(HWND hwnd)
{
    WCHAR text[128] = {};
    GetWindowTextW(hwnd, text, 128);
    return text;
}

class KivoDlgWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hWnd = m_dlg.Create();
        ASSERT_NE(nullptr, m_hWnd);
        GetWindowRect(m_hWnd, &m_rect);
        std::filesystem::create_directories(QM_TEST_OUTPUT_DIR);
    }
    void TearDown() override { qm::win::SetIdleHook(nullptr); }

    // The menu window under a screen point, if one is shown there.
    static HWND MenuAt(POINT pt)
    {
        HWND hwnd = WindowFromPoint(pt);
        return hwnd && ClassOf(hwnd) == u"#32768" ? hwnd : nullptr;
    }

    // Runs the dialog's messages while `step` plays the person: it gets the window that is
    // being run modally (the dialog, the menu's owner, or the about box) and returns false
    // when done.
    void Run(std::function<bool(HWND)> step)
    {
        bool running = true;
        int turns = 0;
        qm::win::SetIdleHook([&](HWND modal) {
            if (++turns > 400 || !step(modal))
            {
                running = false;
                PostMessageW(m_hWnd, WM_NULL, 0, 0); // wakes the loop below
            }
            return running;
        });
        MSG msg;
        while (running && GetMessageW(&msg, nullptr, 0, 0) > 0)
            if (!IsDialogMessageW(m_hWnd, &msg))
            {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        qm::win::SetIdleHook(nullptr);
        EXPECT_LT(turns, 400) << "the person gave up";
    }

    // Opens the system menu with `open`, chooses its about item at its place on screen,
    // sees the about box and closes it with Escape; true when the box was shown.
    bool AboutFromSystemMenu(const std::function<POINT()>& open, const std::string& shot)
    {
        enum { Opening, Menu, About, Closed } stage = Opening;
        bool shown = false;
        POINT at{};
        Run([&](HWND modal) {
            switch (stage)
            {
            case Opening:
                at = open();
                stage = Menu;
                return true;
            case Menu:
                if (HWND menu = MenuAt({at.x + 8, at.y + 8}))
                {
                    qm::win::RenderWindowToPng(menu, std::string(QM_TEST_OUTPUT_DIR) + "/" + shot + "-menu.png");
                    // The third row: close, the separator, then the about item.
                    POINT item = qm::win::ClientPointToScreen(menu, 40, 2 + 22 + 9 + 11);
                    qm::win::InjectMouseMove(item.x, item.y);
                    qm::win::InjectClick(item.x, item.y);
                    stage = About;
                }
                return true;
            case About:
                if (modal != m_hWnd && TextOf(modal) == u"关于 Quillmark助手")
                {
                    shown = true;
                    EXPECT_EQ(m_hWnd, GetWindow(modal, GW_OWNER));
                    qm::win::RenderWindowToPng(modal, std::string(QM_TEST_OUTPUT_DIR) + "/" + shot + "-about.png");
                    qm::win::InjectKey(VK_ESCAPE);
                    stage = Closed;
                }
                return true;
            case Closed:
                return modal != nullptr && modal != m_hWnd && IsWindowVisible(modal); // until the box is gone
            }
            return false;
        });
        return shown;
    }

    CKivoImpIDispatch m_external;
    CKivoLog m_log;
    CKivoDlg m_dlg{m_external, m_log, nullptr, 0};
    HWND m_hWnd = nullptr;
    RECT m_rect{};
};
} // namespace

TEST_F(KivoDlgWindow, SystemMenuHoldsTheAboutItemAfterASeparator)
{
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(3, GetMenuItemCount(menu));
    EXPECT_EQ(UINT(SC_CLOSE), GetMenuItemID(menu, 0));
    EXPECT_EQ(UINT(-1), GetMenuItemID(menu, 1));
    EXPECT_TRUE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(0x10u, GetMenuItemID(menu, 2));
    WCHAR text[64] = {};
    GetMenuStringW(menu, 0x10, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::u16string(u"关于 Quillmark助手(&A)..."), text);
}

TEST_F(KivoDlgWindow, ProgramIconOnTheWindowAndItsCaption)
{
    auto big = reinterpret_cast<HICON>(SendMessageW(m_hWnd, WM_GETICON, ICON_BIG, 0));
    auto small = reinterpret_cast<HICON>(SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(big, small) << "one icon for both";
    EXPECT_EQ(big, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128))) << "the shared resource icon";
    EXPECT_EQ(reinterpret_cast<LRESULT>(big), SendMessageW(m_hWnd, WM_QUERYDRAGICON, 0, 0));

    ASSERT_TRUE(qm::win::RenderWindowToPng(m_hWnd, std::string(QM_TEST_OUTPUT_DIR) + "/dialog-caption.png"));
    // The icon's blue disc at the caption's left, white check mark inside; the caption's
    // own colour right of the title.
    POINT menuAt{};
    for (int x = 4; x < 30 && !menuAt.x; ++x)
        for (int y = 4; y < 28 && !menuAt.x; ++y)
        {
            COLORREF c = qm::win::WindowPixel(m_hWnd, x, y);
            if (GetBValue(c) > 150 && GetRValue(c) < 90)
                menuAt = {x, y};
        }
    EXPECT_NE(0, menuAt.x) << "no blue of the icon in the caption";
    POINT pt{m_rect.left + menuAt.x, m_rect.top + menuAt.y};
    EXPECT_EQ(LRESULT(HTSYSMENU), SendMessageW(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)));
}

TEST_F(KivoDlgWindow, AboutBoxFromTheSystemMenu)
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    POINT origin = qm::win::ClientPointToScreen(m_hWnd, 0, 0);
    int captionY = (m_rect.top + origin.y) / 2;
    struct Way
    {
        const char* name;
        std::function<POINT()> open;
    } ways[] = {
        {"alt-space", [&] {
             qm::win::InjectSysKey(VK_SPACE);
             return POINT{m_rect.left + 8, origin.y};
         }},
        {"caption-icon", [&] {
             qm::win::InjectClick(m_rect.left + 14, captionY);
             return POINT{m_rect.left + 8, origin.y};
         }},
        {"caption-right-click", [&] {
             POINT pt{m_rect.left + 200, captionY};
             qm::win::InjectRightClick(pt.x, pt.y);
             return pt;
         }},
    };
    for (const Way& way : ways)
    {
        SCOPED_TRACE(way.name);
        EXPECT_TRUE(AboutFromSystemMenu(way.open, way.name));
        EXPECT_TRUE(IsWindow(m_hWnd) && !m_dlg.IsEnded()) << "the dialog stays";
    }
}

TEST_F(KivoDlgWindow, EscapeDismissesTheMenuWithoutAChoice)
{
    POINT origin = qm::win::ClientPointToScreen(m_hWnd, 0, 0);
    POINT under{m_rect.left + 16, origin.y + 8};
    int stage = 0;
    bool seen = false;
    Run([&](HWND) {
        if (stage == 0)
            qm::win::InjectSysKey(VK_SPACE), stage = 1;
        else if (stage == 1 && MenuAt(under))
            seen = true, qm::win::InjectKey(VK_ESCAPE), stage = 2;
        else if (stage == 2)
            return MenuAt(under) != nullptr;
        return true;
    });
    EXPECT_TRUE(seen);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, m_hWnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE)) << "nothing chosen";
    EXPECT_FALSE(m_dlg.IsEnded());
}
