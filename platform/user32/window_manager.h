// The window manager: window and class records, the handle table and the helpers that the
// message, painting, dialog and control code share.
#pragma once

#include <cairo.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "winuser.h"

namespace qm::win
{
struct WindowClass
{
    std::u16string name; // as registered
    UINT style = 0;
    WNDPROC proc = nullptr;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool system = false;
    ATOM atom = 0;
};

struct DialogData
{
    DLGPROC proc = nullptr;
    LRESULT msgResult = 0;
    LONG_PTR user = 0;
    HFONT font = nullptr;
    bool ownsFont = false;
    SIZE baseUnits{4, 8}; // average character width and height of the dialog font
    UINT defaultId = IDOK;
    bool ended = false;
    INT_PTR result = 0;
    HWND focusSaved = nullptr;
};

struct Window
{
    HWND handle = nullptr;
    WindowClass* cls = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr; // children
    HWND owner = nullptr;  // top-level windows
    std::vector<HWND> children; // z-order, top first
    RECT rect{};               // parent client coordinates (children) or screen
    std::u16string text;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<uint8_t> extra;
    std::thread::id thread;
    HFONT font = nullptr; // for controls that keep WM_SETFONT's font
    HICON iconBig = nullptr, iconSmall = nullptr; // WM_SETICON
    // painting
    bool needsPaint = false;
    bool needsErase = false;
    bool needsFrame = true;
    RECT update{};
    bool inPaint = false;
    cairo_surface_t* surface = nullptr; // top-level windows
    bool vscroll = false;               // the vertical scroll bar is shown
    int scrollPos = 0, scrollMax = 0, scrollPage = 0;
    bool destroying = false;
    std::unique_ptr<DialogData> dialog;
    void* control = nullptr; // a system control's own state
    void (*freeControl)(void*) = nullptr;
};

Window* Find(HWND hwnd);
// Find(), setting ERROR_INVALID_WINDOW_HANDLE when the handle is bad.
Window* Get(HWND hwnd);
std::vector<HWND> TopLevelWindows(); // z-order, top first
bool IsTopLevel(const Window* w);
HWND RootOf(HWND hwnd);

// Geometry. Window rectangles in screen coordinates; the client rectangle in the window's
// own coordinates (0, 0 at its top-left corner); non-client thickness of each side.
RECT ScreenRect(const Window* w);
RECT ClientInWindow(const Window* w);
POINT ClientOriginOnScreen(const Window* w);
bool HasCaption(const Window* w);
RECT CloseBoxInWindow(const Window* w);

// System classes (registered on first use).
void EnsureSystemClasses();
WindowClass* FindClass(LPCWSTR name, HINSTANCE instance);
void RegisterSystemClass(const char16_t* name, UINT style, WNDPROC proc, HBRUSH background);

// Painting.
void InvalidateWindowTree(HWND hwnd);
void FreeSurface(Window* w);
void PaintNow(HWND hwnd);       // paints the window and its children if they need it
HWND FindWindowToPaint(std::thread::id thread);
void DrawNonClient(HWND hwnd);
void UpdateScrollBar(HWND hwnd, int max, int page, int pos);

// Input.
void ClearInputState(HWND hwnd);
// The keyboard's report of a key going down or up (GetKeyState, GetAsyncKeyState).
void SetKeyDown(UINT vk, bool down);
void RunIdleHook(HWND dialog);
bool HasIdleHook();

// Presentation in GTK windows (no-ops when headless).
void PresentWindow(HWND hwnd);
void PresentHide(HWND hwnd);
void PresentPump(bool block);
void PresentWake();                             // a thread waiting in PresentPump or the page engine looks again

// Icons and menus.
cairo_surface_t* IconSurface(HICON icon);      // null for a bad handle
HICON CaptionIcon(const Window* w);            // the icon the caption shows, if any
RECT CaptionIconInWindow(const Window* w);     // where it is (HTSYSMENU)
void ShowSystemMenu(HWND hwnd, POINT screenPt); // TrackPopupMenu over GetSystemMenu
void ForgetSystemMenu(HWND hwnd);
void PresentIcon(HWND hwnd);                   // the presented window takes the window's icon
void PresentRaise(HWND hwnd);                  // the presented window goes on top of the others
void PresentActivate(HWND hwnd);               // the presented window takes the keyboard

// Broadcast posts across the machine's processes.
void StartBroadcastListener();
void Broadcast(UINT msg, WPARAM wParam, LPARAM lParam);

// Dialog-box font and base units.
SIZE BaseUnitsOf(HFONT font);

std::u16string WideOrEmpty(LPCWSTR s);
// The ANSI code page's text as UTF-16 (the *A entry points); empty for null or text that
// does not convert.
std::u16string WideFromAnsi(LPCSTR s);
bool IsAtom(LPCWSTR s);
} // namespace qm::win
