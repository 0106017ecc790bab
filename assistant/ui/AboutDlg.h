// The about box (dialog resource 100): shown modally, closed by its button, Escape or the
// close box; no logic of its own.
#pragma once

#include "windows.h"

class CAboutDlg
{
public:
    enum
    {
        IDD = 100
    };
    explicit CAboutDlg(HWND hWndParent) : m_hWndParent(hWndParent) {}
    INT_PTR DoModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWndParent;
};
