#include "AboutDlg.h"

INT_PTR CAboutDlg::DoModal()
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD), m_hWndParent, DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
    {
        // Centred over its owner, as the framework places a dialog its template leaves at 0,0.
        RECT self, owner;
        HWND hOwner = GetWindow(hWnd, GW_OWNER);
        if (hOwner && GetWindowRect(hWnd, &self) && GetWindowRect(hOwner, &owner))
        {
            int cx = self.right - self.left, cy = self.bottom - self.top;
            SetWindowPos(hWnd, nullptr, (owner.left + owner.right - cx) / 2, (owner.top + owner.bottom - cy) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        EndDialog(hWnd, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
