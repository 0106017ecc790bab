// Presentation in a real GTK window (run under Xvfb with QM_PRESENT=gtk): the dialog is
// shown at its place with its pixels, the screen is the display's, and the window's
// keys and clicks reach the dialog.
#include <gtk/gtk.h>

#include "window_test_support.h"

namespace
{
INT_PTR CALLBACK Proc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void SendKey(GtkWidget* widget, guint keyval)
{
    GdkEvent* e = gdk_event_new(GDK_KEY_PRESS);
    e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
    e->key.keyval = keyval;
    gtk_widget_event(widget, e);
    gdk_event_free(e);
}

void SendClick(GtkWidget* widget, double x, double y)
{
    // The window's surface is drawn by the first child of its layout.
    GtkWidget* area = gtk_bin_get_child(GTK_BIN(widget));
    if (GTK_IS_CONTAINER(area) && !GTK_IS_DRAWING_AREA(area))
    {
        GList* children = gtk_container_get_children(GTK_CONTAINER(area));
        area = GTK_WIDGET(children->data);
        g_list_free(children);
    }
    for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE})
    {
        GdkEvent* e = gdk_event_new(type);
        e->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
        e->button.button = 1;
        e->button.x = x;
        e->button.y = y;
        gtk_widget_event(area, e);
        gdk_event_free(e);
    }
}
} // namespace

TEST(Presentation, DialogShownInAGtkWindowAndDrivenByItsEvents)
{
    ASSERT_TRUE(qm::win::IsPresenting()) << "run with QM_PRESENT=gtk on a display";
    GdkRectangle screen;
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &screen);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screen.width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screen.height);

    struct Case
    {
        const char* name;
        bool click;
        INT_PTR result;
    } cases[] = {{"Escape on the GTK window", false, IDCANCEL}, {"a click on OK", true, IDOK}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        bool shown = false;
        int x = -1, y = -1;
        COLORREF shownPixel = 0, drawnPixel = 1;
        int turns = 0;
        qm::win::SetIdleHook([&](HWND dlg) {
            auto* widget = static_cast<GtkWidget*>(qm::win::PresentedWidget(dlg));
            if (!widget)
                return true;
            ++turns;
            if (turns >= 3 && turns < 150 && shownPixel != drawnPixel)
            {
                g_usleep(5000); // the X server draws the exposed window asynchronously
                shown = gtk_widget_get_visible(widget);
                GdkWindow* w = gtk_widget_get_window(widget);
                gdk_window_get_origin(w, &x, &y);
                gdk_display_sync(gdk_display_get_default());
                GdkPixbuf* pixels = gdk_pixbuf_get_from_window(w, 0, 0, 40, 10);
                if (pixels)
                {
                    const guchar* p = gdk_pixbuf_get_pixels(pixels) + 5 * gdk_pixbuf_get_rowstride(pixels) +
                                      20 * gdk_pixbuf_get_n_channels(pixels);
                    shownPixel = RGB(p[0], p[1], p[2]);
                    g_object_unref(pixels);
                }
                drawnPixel = qm::win::WindowPixel(dlg, 20, 5);
                if (shownPixel != drawnPixel && turns < 149)
                    return true;
                if (c.click)
                {
                    RECT window, ok;
                    GetWindowRect(dlg, &window);
                    GetWindowRect(GetDlgItem(dlg, IDOK), &ok);
                    SendClick(widget, (ok.left + ok.right) / 2 - window.left, (ok.top + ok.bottom) / 2 - window.top);
                }
                else
                    SendKey(widget, GDK_KEY_Escape);
            }
            else if (turns > 200)
                EndDialog(dlg, 99);
            return true;
        });
        RECT expected{};
        INT_PTR r = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), nullptr, Proc, 0);
        qm::win::SetIdleHook(nullptr);
        EXPECT_EQ(r, c.result);
        EXPECT_TRUE(shown);
        (void)expected;
        // DS_CENTER on the display's screen.
        EXPECT_GT(x, 0);
        EXPECT_GT(y, 0);
        EXPECT_EQ(shownPixel, drawnPixel); // the caption as the surface has it
    }
}
