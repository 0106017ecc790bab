#include "AboutDlg.h"

INT_PTR CAboutDlg::DoModal()
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD), m_hWndParent, DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        EndDialog(hWnd, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
