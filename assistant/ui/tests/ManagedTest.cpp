// The assistant's window under a window manager, as on a desktop: its windows are the
// manager's (undecorated, at user32's place, owned ones transient for their owner), and the
// keys go to the window the person clicked or the program activated, not to the one under
// the pointer. Real pointer and keys (XTest).
#include <gtk/gtk.h>

#include <filesystem>
#include <memory>

#include "PresentedHarness.h"

// Last: Xlib's macros would clash with the headers above.
#include <gdk/gdkx.h>

namespace
{
const ResultPairs kCheck = {
    {u"TITLE_WS", u"10"},       {u"OS0", u"Windows 7 Professional"}, {u"ADMIN0", u"Administrator"},
    {u"TITLE_UK", u"95"},       {u"UKEY_WQ2324", u"100"},            {u"TITLE_IE", u"0"}};

GtkWindow* Shown(HWND hwnd) { return static_cast<GtkWindow*>(qm::win::PresentedWidget(hwnd)); }

// A window of something else on the desktop, which takes the keyboard when shown.
struct OtherWindow
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    OtherWindow(int x, int y, int width, int height)
    {
        gtk_window_move(GTK_WINDOW(window), x, y);
        gtk_window_set_default_size(GTK_WINDOW(window), width, height);
        gtk_widget_show_all(window);
        guint32 now = gdk_x11_get_server_time(gtk_widget_get_window(window));
        gtk_window_present_with_time(GTK_WINDOW(window), now);
    }
    ~OtherWindow() { gtk_widget_destroy(window); }
};

class Managed : public PresentedHarness
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(PresentedHarness::SetUp());
        Open(kCheck);
        ASSERT_TRUE(WaitSummary());
        Settle();
    }

    HWND Main() { return m_dlg->GetSafeHwnd(); }
};

TEST_F(Managed, WindowIsTheManagersAtItsPlace)
{
    GtkWindow* main = Shown(Main());
    ASSERT_TRUE(main);
    EXPECT_EQ(GTK_WINDOW_TOPLEVEL, gtk_window_get_window_type(main)); // not a pop-up
    EXPECT_FALSE(gtk_window_get_decorated(main));                   // the caption is user32's
    EXPECT_TRUE(Pump([&] { return gtk_window_is_active(main); }, 3000)) << "a new window takes the keyboard";
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(main)), &x, &y);
    RECT r = WindowRect(Main());
    EXPECT_EQ(r.left, x);
    EXPECT_EQ(r.top, y);
}

TEST_F(Managed, ClickInThePageThenKeysTypeIntoIt)
{
    Eval(u"", u"(function(){var i=document.createElement('input');i.id='probe';"
              u"i.style.cssText='position:fixed;left:400px;top:20px;width:200px;z-index:9';"
              u"document.body.appendChild(i);})()");
    RECT r = WindowRect(Main());
    // Another program's window beside the assistant has the keyboard, and so had another
    // window of the program.
    HWND mine = CreateWindowExW(0, u"STATIC", u"other", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, r.bottom + 10, 120, 60,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine, GetActiveWindow());
    OtherWindow other(r.right + 10 > 1180 ? 0 : r.right + 10, 0, 100, 100);
    ASSERT_TRUE(Pump([&] { return gtk_window_is_active(GTK_WINDOW(other.window)); }, 3000));
    EXPECT_FALSE(gtk_window_is_active(Shown(Main())));

    POINT probe = ElementOnScreen(u"", u"probe");
    TestScreen().Click(probe.x, probe.y);
    ASSERT_TRUE(Pump([&] { return gtk_window_is_active(Shown(Main())); }, 3000)) << "the click gives the keyboard";
    // The page's click activates the window, as one on its caption would: the window's own
    // keys (Alt+F4) are its own then, not the other window's.
    EXPECT_EQ(Main(), GetActiveWindow());
    DestroyWindow(mine);
    ASSERT_TRUE(Pump([&] { return Eval(u"", u"document.activeElement.id") == "probe"; }, 3000));
    // The keys stay with the clicked window wherever the pointer goes.
    TestScreen().MoveTo(5, r.bottom + 5);
    TestScreen().Key("a");
    TestScreen().Key("b");
    EXPECT_TRUE(Pump([&] { return Eval(u"", u"document.getElementById('probe').value") == "ab"; }, 3000))
        << Eval(u"", u"document.getElementById('probe').value");
    Settle();
    TestScreen().CaptureToPng(kOut / "wm-typed.png");
}

// A box over the window: the window manager's transient, modal window, with the keyboard;
// Enter answers its default button, Escape cancels it, the pointer elsewhere.
TEST_F(Managed, BoxTakesTheKeys)
{
    struct Case
    {
        const char* picture;
        const char16_t* script;
        const char* key;
        const char* answer;
    } cases[] = {
        {"wm-confirm-escape.png", u"confirm('要开始修复吗？')", "Escape", "false"},
        {"wm-confirm-enter.png", u"confirm('要开始修复吗？')", "Return", "true"},
        {"wm-alert-enter.png", u"alert('请插入USBKey')", "Return", "undefined"},
    };
    for (const Case& c : cases)
    {
        struct Seen
        {
            bool active = false, transient = false, modal = false, answered = false;
        };
        auto seen = std::make_shared<Seen>();
        auto ticks = std::make_shared<int>(0);
        HWND main = Main();
        std::string picture = c.picture, key = c.key;
        qm::win::SetIdleHook([=](HWND box) {
            qm::web::PumpEvents(20);
            GtkWindow* shown = Shown(box);
            if (++*ticks < 100 && !(shown && gtk_window_is_active(shown) && *ticks > 10))
                return true;
            seen->active = shown && gtk_window_is_active(shown);
            seen->transient = shown && gtk_window_get_transient_for(shown) == Shown(main);
            seen->modal = shown && gdk_window_get_modal_hint(gtk_widget_get_window(GTK_WIDGET(shown)));
            TestScreen().CaptureToPng(kOut / picture);
            RECT m = WindowRect(main);
            TestScreen().MoveTo(m.left + 20, m.bottom - 20); // over the owner, away from the box
            TestScreen().Key(key.c_str());
            seen->answered = true;
            return false;
        });
        EXPECT_EQ(c.answer, Eval(u"mainframe", c.script)) << c.picture;
        EXPECT_TRUE(seen->answered) << c.picture;
        EXPECT_TRUE(seen->active) << c.picture;
        EXPECT_TRUE(seen->transient) << c.picture;
        EXPECT_TRUE(seen->modal) << c.picture;
        // The keyboard comes back to the window.
        EXPECT_TRUE(Pump([&] { return gtk_window_is_active(Shown(Main())); }, 3000)) << c.picture;
    }
}
} // namespace
