// Modal dialogs from templates whose messages are handled by a C++ object.
#pragma once

#include "WindowImpl.h"

template <class TBase = CWindow>
class CDialogImplBaseT : public CWindowImplRoot<TBase>
{
public:
    virtual DLGPROC GetDialogProc() { return DialogProc; }
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    BOOL EndDialog(INT_PTR nRetCode) { return ::EndDialog(this->m_hWnd, nRetCode); }

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* pThis = static_cast<CDialogImplBaseT*>(CWndProcThunk::Lookup(hWnd));
        if (!pThis)
        {
            // The first message of a dialog being created binds its object.
            pThis = static_cast<CDialogImplBaseT*>(CWndProcThunk::TakePending());
            if (!pThis)
                return FALSE;
            pThis->m_thunk.Bind(hWnd, pThis);
            pThis->m_hWnd = hWnd;
        }
        LRESULT lResult = 0;
        BOOL bHandled = pThis->DispatchToMap(hWnd, uMsg, wParam, lParam, lResult);
        if (uMsg == WM_NCDESTROY)
        {
            pThis->m_thunk.Unbind();
            pThis->m_hWnd = nullptr;
            pThis->OnFinalMessage(hWnd);
            return bHandled;
        }
        if (!bHandled)
            return FALSE;
        switch (uMsg)
        {
        // These answer through the procedure's result, the others through DWLP_MSGRESULT.
        case WM_INITDIALOG:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            return static_cast<INT_PTR>(lResult);
        }
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
        return TRUE;
    }
};

// T names its template with an enum or static member IDD.
template <class T, class TBase = CWindow>
class CDialogImpl : public CDialogImplBaseT<TBase>
{
public:
    // The dialog's result, or -1 when it could not be created.
    INT_PTR DoModal(HINSTANCE hInstance, HWND hWndParent = ::GetActiveWindow(), LPARAM dwInitParam = 0)
    {
        if (this->m_hWnd)
            return -1;
        CWndProcThunk::SetPending(static_cast<CDialogImplBaseT<TBase>*>(this));
        INT_PTR nResult = ::DialogBoxParamW(hInstance, MAKEINTRESOURCEW(static_cast<T*>(this)->IDD), hWndParent,
                                            this->GetDialogProc(), dwInitParam);
        // A dialog that never reached its procedure leaves the object unclaimed.
        if (CWndProcThunk::TakePending() != nullptr)
            this->m_hWnd = nullptr;
        return nResult;
    }
};
