// The system controls' window procedures and the helpers they share.
#pragma once

#include "window_manager.h"

namespace qm::win
{
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void RegisterCommonControlClasses();

// Sends a notification to the control's parent as WM_COMMAND.
void NotifyParent(HWND control, WORD code);
// The control's font (WM_SETFONT's, else DEFAULT_GUI_FONT).
HFONT ControlFont(HWND hwnd);
// The brush the parent gives for the control (WM_CTLCOLOR*), with the DC's colours set.
HBRUSH ControlBrush(HWND hwnd, HDC dc, UINT ctlColorMessage);

template <class T> T* StateOf(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w ? static_cast<T*>(w->control) : nullptr;
}
template <class T> T* AttachState(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    if (!w->control)
    {
        w->control = new T();
        w->freeControl = [](void* p) { delete static_cast<T*>(p); };
    }
    return static_cast<T*>(w->control);
}
} // namespace qm::win
