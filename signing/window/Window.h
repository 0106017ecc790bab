// A thin wrapper over a window handle: the calls the dialog and the list make on windows.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

class CWindow
{
public:
    HWND m_hWnd;

    CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    operator HWND() const { return m_hWnd; }

    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach()
    {
        HWND hWnd = m_hWnd;
        m_hWnd = nullptr;
        return hWnd;
    }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
    }
    BOOL PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
    }

    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }

    BOOL SetWindowText(LPCWSTR lpszText) { return ::SetWindowTextW(m_hWnd, lpszText); }
    BOOL SetDlgItemText(int nID, LPCWSTR lpszText) { return ::SetDlgItemTextW(m_hWnd, nID, lpszText); }

    BOOL GetWindowRect(LPRECT lpRect) const { return ::GetWindowRect(m_hWnd, lpRect); }
    BOOL GetClientRect(LPRECT lpRect) const { return ::GetClientRect(m_hWnd, lpRect); }
    // A screen rectangle into this window's client coordinates.
    BOOL ScreenToClient(LPRECT lpRect) const
    {
        auto* pts = reinterpret_cast<LPPOINT>(lpRect);
        return ::ScreenToClient(m_hWnd, &pts[0]) && ::ScreenToClient(m_hWnd, &pts[1]);
    }

    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
    }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL Invalidate(BOOL bErase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, bErase); }
};
