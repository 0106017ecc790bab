// Presentation in GTK 3 windows, when a display is present and the machine asks for it
// ($QM_PRESENT=gtk): each visible top-level window gets an undecorated GTK window at its
// place that shows its surface; the pointer and keys of that window become input. With a
// window manager on the display the windows are its managed windows (stacked, focused,
// owned ones transient for their owner), menus and tooltips stay pop-ups; without one all
// are pop-ups and the keys follow the pointer. A child
// window that is drawn by a GTK widget of its own (the WebBrowser control's page) has that
// widget placed over the surface at the child's place, taking its own pointer and keys.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "qm/windowing.h"
#include "thread_state.h"
#include "window_manager.h"

namespace qm::win
{
cairo_surface_t* RootSurface(HWND root);

namespace
{
std::map<HWND, GtkWidget*>& Shown()
{
    static auto* shown = new std::map<HWND, GtkWidget*>;
    return *shown;
}

// Child windows drawn by their own widgets; each widget is referenced here until it goes.
std::map<HWND, GtkWidget*>& Embedded()
{
    static auto* embedded = new std::map<HWND, GtkWidget*>;
    return *embedded;
}

GtkWidget* FixedOf(GtkWidget* window) { return gtk_bin_get_child(GTK_BIN(window)); }

bool IsEmbedded(GtkWidget* widget)
{
    for (auto& [child, w] : Embedded())
        if (widget == w || gtk_widget_is_ancestor(widget, w))
            return true;
    return false;
}

// Puts the root's embedded widgets at their children's places in its pop-up.
void PlaceEmbedded(HWND root, GtkWidget* window)
{
    GtkWidget* fixed = FixedOf(window);
    RECT wr;
    GetWindowRect(root, &wr);
    for (auto& [child, widget] : Embedded())
    {
        if (!IsWindow(child) || RootOf(child) != root)
            continue;
        RECT cr;
        GetWindowRect(child, &cr);
        int x = cr.left - wr.left, y = cr.top - wr.top;
        if (gtk_widget_get_parent(widget) != fixed)
        {
            if (GtkWidget* old = gtk_widget_get_parent(widget))
                gtk_container_remove(GTK_CONTAINER(old), widget);
            gtk_fixed_put(GTK_FIXED(fixed), widget, x, y);
        }
        else
            gtk_fixed_move(GTK_FIXED(fixed), widget, x, y);
        gtk_widget_set_size_request(widget, cr.right - cr.left, cr.bottom - cr.top);
        gtk_widget_set_visible(widget, IsWindowVisible(child));
    }
}

void OnEmbeddedDestroyed(GtkWidget* widget, gpointer)
{
    for (auto it = Embedded().begin(); it != Embedded().end(); ++it)
        if (it->second == widget)
        {
            Embedded().erase(it);
            g_object_unref(widget);
            return;
        }
}

bool HasWindowManager()
{
    GdkScreen* screen = gdk_screen_get_default();
    return GDK_IS_X11_SCREEN(screen) &&
           gdk_x11_screen_supports_net_wm_hint(screen, gdk_atom_intern_static_string("_NET_ACTIVE_WINDOW"));
}

bool IsMenuWindow(const Window* w) { return w && w->cls && w->cls->name == u"#32768"; }

// Menus and tooltips never take the keyboard nor get stacked by the window manager.
bool IsPopUp(const Window* w)
{
    return !w || IsMenuWindow(w) || (w->cls && w->cls->name == u"tooltips_class32");
}

bool IsManaged(GtkWidget* window) { return g_object_get_data(G_OBJECT(window), "qm-managed") != nullptr; }

bool MenuShown()
{
    for (auto& [hwnd, widget] : Shown())
        if (IsMenuWindow(Find(hwnd)))
            return true;
    return false;
}

// A modal window is shown with its owner disabled.
bool IsModal(const Window* w) { return w->owner && !IsWindowEnabled(RootOf(w->owner)); }

// The window manager's close (its Alt+F4, its close button) is the system menu's Close.
gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    PostMessageW(static_cast<HWND>(data), WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
}

// The window manager gave the window the keyboard (a click on its page, its Alt+Tab): it is
// the active window then, as a click on what user32 draws makes it.
gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data)
{
    HWND hwnd = static_cast<HWND>(data);
    Window* w = Find(hwnd);
    if (w && w->thread == std::this_thread::get_id() && IsWindowEnabled(hwnd) && GetActiveWindow() != hwnd)
        SetActiveWindow(hwnd);
    return FALSE;
}

bool Wanted()
{
    const char* present = std::getenv("QM_PRESENT");
    const char* display = std::getenv("DISPLAY");
    return present && std::strcmp(present, "gtk") == 0 && display && *display;
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data)
{
    HWND hwnd = static_cast<HWND>(data);
    if (cairo_surface_t* s = IsWindow(hwnd) ? RootSurface(hwnd) : nullptr)
    {
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
    }
    return TRUE;
}

POINT ScreenPoint(HWND hwnd, double x, double y)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    return {r.left + static_cast<LONG>(x), r.top + static_cast<LONG>(y)};
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer data)
{
    HWND hwnd = static_cast<HWND>(data);
    QueueInput({InputKind::Move, ScreenPoint(hwnd, e->x, e->y)}, hwnd);
    return TRUE;
}

gboolean OnButton(GtkWidget* area, GdkEventButton* e, gpointer data)
{
    HWND hwnd = static_cast<HWND>(data);
    POINT pt = ScreenPoint(hwnd, e->x, e->y);
    if (e->button == 3 && (e->type == GDK_BUTTON_PRESS || e->type == GDK_BUTTON_RELEASE))
        QueueInput({e->type == GDK_BUTTON_PRESS ? InputKind::RightDown : InputKind::RightUp, pt}, hwnd);
    if (e->button != 1)
        return TRUE;
    if (e->type == GDK_BUTTON_PRESS)
    {
        gtk_widget_grab_focus(area); // the keys are the window's again
        QueueInput({InputKind::Down, pt}, hwnd);
    }
    else if (e->type == GDK_2BUTTON_PRESS)
        QueueInput({InputKind::SecondDown, pt}, hwnd);
    else if (e->type == GDK_BUTTON_RELEASE)
        QueueInput({InputKind::Up, pt}, hwnd);
    return TRUE;
}

UINT VirtualKey(guint keyval)
{
    switch (keyval)
    {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return VK_RETURN;
    case GDK_KEY_Escape:
        return VK_ESCAPE;
    case GDK_KEY_Tab:
        return VK_TAB;
    case GDK_KEY_space:
        return VK_SPACE;
    case GDK_KEY_Up:
        return VK_UP;
    case GDK_KEY_Down:
        return VK_DOWN;
    case GDK_KEY_Home:
        return VK_HOME;
    case GDK_KEY_End:
        return VK_END;
    case GDK_KEY_Page_Up:
        return VK_PRIOR;
    case GDK_KEY_Page_Down:
        return VK_NEXT;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
        return VK_MENU;
    case GDK_KEY_F4:
        return VK_F4;
    }
    guint32 c = gdk_keyval_to_unicode(keyval);
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return c;
    return 0;
}

UINT ModifierKey(guint keyval)
{
    switch (keyval)
    {
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
        return VK_CONTROL;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
        return VK_SHIFT;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
        return VK_MENU;
    }
    return 0;
}

gboolean OnKey(GtkWidget* window, GdkEventKey* e, gpointer data)
{
    bool down = e->type == GDK_KEY_PRESS;
    UINT vk = VirtualKey(e->keyval);
    if (UINT mod = ModifierKey(e->keyval))
        SetKeyDown(mod, down);
    else if (vk)
        SetKeyDown(vk, down);
    bool alt = vk != VK_MENU && (e->state & GDK_MOD1_MASK) != 0;
    // A widget of a child window with the focus takes the key itself; the window's own
    // Alt shortcuts (system menu, close) stay the window's, and so do the keys of an open
    // menu (which never has the keyboard focus itself).
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
    if (focus && IsEmbedded(focus) && !(alt && (vk == VK_SPACE || vk == VK_F4)) && !MenuShown())
        return FALSE;
    if (vk)
        QueueInput({down ? InputKind::KeyDown : InputKind::KeyUp, {}, vk, nullptr, alt}, static_cast<HWND>(data));
    return TRUE;
}
} // namespace

bool IsPresenting()
{
    static bool presenting = Wanted() && gtk_init_check(nullptr, nullptr);
    return presenting;
}

bool PresentScreenSize(SIZE* size)
{
    if (!IsPresenting())
        return false;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(gdk_display_get_default());
    if (!monitor)
        monitor = gdk_display_get_monitor(gdk_display_get_default(), 0);
    if (!monitor)
        return false;
    GdkRectangle r;
    gdk_monitor_get_geometry(monitor, &r);
    *size = {r.width, r.height};
    return true;
}

void PresentWindow(HWND hwnd)
{
    if (!IsPresenting() || !IsWindowVisible(hwnd))
        return;
    RECT r;
    GetWindowRect(hwnd, &r);
    GtkWidget*& widget = Shown()[hwnd];
    if (!widget)
    {
        Window* w = Find(hwnd);
        bool managed = !IsPopUp(w) && HasWindowManager();
        widget = gtk_window_new(managed ? GTK_WINDOW_TOPLEVEL : GTK_WINDOW_POPUP);
        if (managed)
        {
            // The window draws its own caption and frame; an owned window stays with its
            // owner, above it and out of the task bar.
            g_object_set_data(G_OBJECT(widget), "qm-managed", widget);
            gtk_window_set_decorated(GTK_WINDOW(widget), FALSE);
            auto owner = w->owner ? Shown().find(RootOf(w->owner)) : Shown().end();
            gtk_window_set_type_hint(GTK_WINDOW(widget),
                                     w->owner ? GDK_WINDOW_TYPE_HINT_DIALOG : GDK_WINDOW_TYPE_HINT_NORMAL);
            if (owner != Shown().end() && owner->second)
            {
                gtk_window_set_transient_for(GTK_WINDOW(widget), GTK_WINDOW(owner->second));
                gtk_window_set_skip_taskbar_hint(GTK_WINDOW(widget), TRUE);
            }
            g_signal_connect(widget, "delete-event", G_CALLBACK(OnDelete), hwnd);
            g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnFocusIn), hwnd);
        }
        GtkWidget* fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(widget), fixed);
        GtkWidget* area = gtk_drawing_area_new();
        gtk_fixed_put(GTK_FIXED(fixed), area, 0, 0);
        gtk_widget_set_can_focus(area, TRUE);
        g_object_set_data(G_OBJECT(widget), "qm-area", area);
        gtk_widget_add_events(area, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
        gtk_widget_add_events(widget, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
        gtk_widget_set_can_focus(widget, TRUE);
        gtk_window_set_accept_focus(GTK_WINDOW(widget), TRUE);
        g_signal_connect(area, "draw", G_CALLBACK(OnDraw), hwnd);
        g_signal_connect(area, "motion-notify-event", G_CALLBACK(OnMotion), hwnd);
        g_signal_connect(area, "button-press-event", G_CALLBACK(OnButton), hwnd);
        g_signal_connect(area, "button-release-event", G_CALLBACK(OnButton), hwnd);
        g_signal_connect(widget, "key-press-event", G_CALLBACK(OnKey), hwnd);
        g_signal_connect(widget, "key-release-event", G_CALLBACK(OnKey), hwnd);
    }
    gtk_window_move(GTK_WINDOW(widget), r.left, r.top);
    auto* area = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(widget), "qm-area"));
    gtk_widget_set_size_request(area, r.right - r.left, r.bottom - r.top);
    gtk_widget_set_size_request(widget, r.right - r.left, r.bottom - r.top);
    gtk_window_resize(GTK_WINDOW(widget), r.right - r.left, r.bottom - r.top);
    PlaceEmbedded(hwnd, widget);
    if (!gtk_widget_get_visible(widget))
    {
        if (IsManaged(widget))
        {
            // The modal state as the window manager knows it, without GTK's own grab.
            gtk_widget_realize(widget);
            if (Window* w = Find(hwnd))
                gdk_window_set_modal_hint(gtk_widget_get_window(widget), IsModal(w));
        }
        gtk_widget_show(FixedOf(widget));
        gtk_widget_show(area);
        gtk_widget_show(widget);
        PresentIcon(hwnd);
    }
    gtk_widget_queue_draw(area);
}

// The window's icons as the X window's (_NET_WM_ICON), big and small.
void PresentIcon(HWND hwnd)
{
    auto it = Shown().find(hwnd);
    Window* w = Find(hwnd);
    if (it == Shown().end() || !w)
        return;
    GList* icons = nullptr;
    for (HICON icon : {w->iconBig, w->iconSmall})
        if (cairo_surface_t* s = IconSurface(icon))
            if (GdkPixbuf* p = gdk_pixbuf_get_from_surface(s, 0, 0, cairo_image_surface_get_width(s),
                                                           cairo_image_surface_get_height(s)))
                icons = g_list_append(icons, p);
    gtk_window_set_icon_list(GTK_WINDOW(it->second), icons);
    // A pop-up window's icon is not passed on by GTK itself.
    if (GdkWindow* g = gtk_widget_get_window(it->second))
        gdk_window_set_icon_list(g, icons);
    g_list_free_full(icons, g_object_unref);
}

void PresentRaise(HWND hwnd)
{
    auto it = Shown().find(hwnd);
    if (it == Shown().end())
        return;
    // A topmost window is one the window manager keeps above the others.
    if (Window* w = Find(hwnd); w && IsManaged(it->second))
        gtk_window_set_keep_above(GTK_WINDOW(it->second), (w->exStyle & WS_EX_TOPMOST) != 0);
    if (GdkWindow* g = gtk_widget_get_window(it->second))
        gdk_window_raise(g);
}

// An activated window takes the keyboard from the window manager, as of now: a request
// with an older time would be taken for focus stealing and refused.
void PresentActivate(HWND hwnd)
{
    auto it = Shown().find(hwnd);
    if (it == Shown().end() || !IsManaged(it->second) || gtk_window_is_active(GTK_WINDOW(it->second)))
        return;
    GdkWindow* g = gtk_widget_get_window(it->second);
    if (!g || !GDK_IS_X11_WINDOW(g))
        return;
    guint32 now = gdk_x11_get_server_time(g);
    gdk_x11_window_set_user_time(g, now);
    gtk_window_present_with_time(GTK_WINDOW(it->second), now);
}

void PresentHide(HWND hwnd)
{
    auto it = Shown().find(hwnd);
    if (it == Shown().end())
        return;
    // The embedded widgets outlive the pop-up: they come back when the window is shown again.
    GtkWidget* fixed = FixedOf(it->second);
    for (auto& [child, widget] : Embedded())
        if (gtk_widget_get_parent(widget) == fixed)
            gtk_container_remove(GTK_CONTAINER(fixed), widget);
    gtk_widget_destroy(it->second);
    Shown().erase(it);
}

bool PresentChildWidget(HWND child, void* widget)
{
    if (!IsPresenting() || !IsWindow(child) || !widget)
        return false;
    auto* w = static_cast<GtkWidget*>(widget);
    if (Embedded().count(child))
        return false;
    g_object_ref_sink(w);
    Embedded()[child] = w;
    g_signal_connect(w, "destroy", G_CALLBACK(OnEmbeddedDestroyed), nullptr);
    if (HWND root = RootOf(child); root && IsWindowVisible(root))
        PresentWindow(root);
    return true;
}

void PresentPump(bool block)
{
    if (!IsPresenting())
        return;
    if (block)
    {
        // Waits for the display's events, waking now and then for posts from other threads.
        bool fired = false;
        guint timer = g_timeout_add(
            50,
            [](gpointer flag) -> gboolean {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &fired);
        g_main_context_iteration(nullptr, TRUE);
        if (!fired)
            g_source_remove(timer);
    }
    while (g_main_context_pending(nullptr))
        g_main_context_iteration(nullptr, FALSE);
}

// Called by other threads after they queue something: the UI thread may be waiting in the
// main context (the display's events, the page engine) rather than on its queue.
void PresentWake() { g_main_context_wakeup(nullptr); }

void* PresentedWidget(HWND hwnd)
{
    auto it = Shown().find(hwnd);
    return it == Shown().end() ? nullptr : it->second;
}
} // namespace qm::win
