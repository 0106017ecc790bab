// Test and machine hooks of the windowing stand-in (user32, gdi32, comctl32): the screen,
// presentation, rendering windows to PNG, injected input and a hook on idle modal loops.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "../winuser.h"

namespace qm::win
{
// The screen size GetSystemMetrics reports. By default: $QM_SCREEN_SIZE ("1920x1080"),
// else the machine's HKLM\SOFTWARE\Quillmark\Machine "ScreenSize" (same form), else the
// display's size when windows are presented, else 1920 x 1080.
QMEXPORT void SetScreenSize(int width, int height);
QMEXPORT void ResetScreenSize();

// Windows are shown in real GTK 3 windows when a display is present ($DISPLAY) and the
// machine asks for it ($QM_PRESENT=gtk); otherwise they are only drawn off screen.
QMEXPORT bool IsPresenting();
// The GTK widget (a GtkWindow*) that shows a top-level window while presenting, else null.
QMEXPORT void* PresentedWidget(HWND hwnd);
// While presenting: shows a GTK widget (a GtkWidget*) at the place and size of a child
// window, inside its top-level window's GTK window, whenever that is shown. The widget
// takes its own pointer input, and the keys while it has the focus. The reference is kept
// until the widget is destroyed. False when not presenting (nothing is kept).
QMEXPORT bool PresentChildWidget(HWND child, void* widget);

// Paints what needs painting and writes the window (frame included) as a PNG. The surface
// holds the window and its children, as the screen would show them.
QMEXPORT bool RenderWindowToPng(HWND hwnd, const std::filesystem::path& file);
// The colour of a pixel of the window after painting (window coordinates, frame included),
// CLR_INVALID outside it.
QMEXPORT COLORREF WindowPixel(HWND hwnd, int x, int y);

// Input as the mouse and keyboard would give it, queued to the thread of the window under
// the point (keys: to the thread with the focus). Coordinates are screen coordinates. The
// cursor moves when the input is taken from the queue.
QMEXPORT void InjectMouseMove(int x, int y);
QMEXPORT void InjectClick(int x, int y);
QMEXPORT void InjectDoubleClick(int x, int y);
QMEXPORT void InjectKey(UINT vk);
QMEXPORT void InjectRightClick(int x, int y);
// Holds a key down (or lets it go) as GetKeyState and GetAsyncKeyState report it, without
// queueing any input.
QMEXPORT void HoldKey(UINT vk, bool down);
// A key pressed with Alt held (Alt+Space: the system menu).
QMEXPORT void InjectSysKey(UINT vk);
// A click on the close box of a top-level window's caption.
QMEXPORT void InjectCloseBox(HWND hwnd);
// Screen point at the centre of a window's client area, at client (x, y) when given.
QMEXPORT POINT ClientPointToScreen(HWND hwnd, int x, int y);

// Called by modal loops (dialogs, the viewer) of this thread whenever the queue is empty,
// with the dialog being run. The hook injects input, renders, or ends the dialog; a hook
// that returns false is removed. Without a hook an empty headless loop waits for messages.
using IdleHook = std::function<bool(HWND dialog)>;
QMEXPORT void SetIdleHook(IdleHook hook);

// Font faces the machine lacks and the installed face that stands in for each.
QMEXPORT std::string FontStandIn(const std::u16string& face);

// Live GDI objects (pens, brushes, fonts, bitmaps, DCs, not stock ones) and cairo
// surfaces of this process, for leak checks.
QMEXPORT size_t LiveGdiObjects();
QMEXPORT size_t LiveSurfaces();
// Live windows of this process.
QMEXPORT size_t LiveWindows();
} // namespace qm::win
