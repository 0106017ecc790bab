// Windows whose messages are handled by a C++ object: the message map interface, window
// traits, reflection of child notifications, and subclassing of an existing window.
#pragma once

#include "Window.h"
#include "WindowThunk.h"

// The handler of a window's messages: TRUE when the message was handled (lResult holds
// the answer), FALSE to let the default processing run.
class CMessageMap
{
public:
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                      DWORD dwMsgMapID = 0) = 0;
};

template <DWORD t_dwStyle = 0, DWORD t_dwExStyle = 0>
class CWinTraits
{
public:
    static DWORD GetWndStyle(DWORD dwStyle) { return dwStyle == 0 ? t_dwStyle : dwStyle; }
    static DWORD GetWndExStyle(DWORD dwExStyle) { return dwExStyle == 0 ? t_dwExStyle : dwExStyle; }
};

typedef CWinTraits<WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0> CControlWinTraits;

template <class TBase = CWindow>
class CWindowImplRoot : public TBase, public CMessageMap
{
public:
    CWndProcThunk m_thunk;
    const MSG* m_pCurrentMsg = nullptr;

    virtual ~CWindowImplRoot() = default;

    const MSG* GetCurrentMessage() const { return m_pCurrentMsg; }

    // Sends a child's notification back to the child as OCM__BASE + message. bHandled is
    // FALSE when the message names no child.
    LRESULT ReflectNotifications(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        HWND hWndChild = nullptr;
        switch (uMsg)
        {
        case WM_COMMAND:
        case WM_VSCROLL:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            hWndChild = reinterpret_cast<HWND>(lParam);
            break;
        case WM_NOTIFY:
            if (lParam)
                hWndChild = reinterpret_cast<LPNMHDR>(lParam)->hwndFrom;
            break;
        case WM_DRAWITEM:
            if (wParam && lParam)
                hWndChild = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)->hwndItem;
            break;
        case WM_MEASUREITEM:
            if (wParam && lParam)
                hWndChild = ::GetDlgItem(this->m_hWnd, reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam)->CtlID);
            break;
        case WM_DELETEITEM:
            if (wParam && lParam)
                hWndChild = reinterpret_cast<LPDELETEITEMSTRUCT>(lParam)->hwndItem;
            break;
        }
        if (!hWndChild || hWndChild == this->m_hWnd)
        {
            bHandled = FALSE;
            return 1;
        }
        bHandled = TRUE;
        return ::SendMessageW(hWndChild, OCM__BASE + uMsg, wParam, lParam);
    }

    // A reflected message the control does not handle gets the default processing of the
    // original message.
    static BOOL DefaultReflectionHandler(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
    {
        switch (uMsg)
        {
        case OCM_COMMAND:
        case OCM_NOTIFY:
        case OCM_DRAWITEM:
        case OCM_MEASUREITEM:
        case OCM_DELETEITEM:
        case OCM_VSCROLL:
        case OCM_CTLCOLORBTN:
        case OCM_CTLCOLORLISTBOX:
        case OCM_CTLCOLORSTATIC:
            lResult = ::DefWindowProcW(hWnd, uMsg - OCM__BASE, wParam, lParam);
            return TRUE;
        }
        return FALSE;
    }

protected:
    // Runs the message map with the message as the current one.
    BOOL DispatchToMap(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
    {
        MSG msg = {hWnd, uMsg, wParam, lParam, 0, {0, 0}};
        const MSG* pOldMsg = m_pCurrentMsg;
        m_pCurrentMsg = &msg;
        BOOL bHandled = this->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0);
        m_pCurrentMsg = pOldMsg;
        return bHandled;
    }
};

// A window procedure over an existing window (subclassing) or one created for the object.
template <class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CWindowImplBaseT : public CWindowImplRoot<TBase>
{
public:
    WNDPROC m_pfnSuperWindowProc = ::DefWindowProcW;

    virtual WNDPROC GetWindowProc() { return WindowProc; }
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    static DWORD GetWndStyle(DWORD dwStyle) { return TWinTraits::GetWndStyle(dwStyle); }
    static DWORD GetWndExStyle(DWORD dwExStyle) { return TWinTraits::GetWndExStyle(dwExStyle); }

    // Routes the window's messages through this object; the old procedure handles what the
    // map leaves. FALSE when the object already has a window or the handle is bad.
    BOOL SubclassWindow(HWND hWnd)
    {
        if (this->m_hWnd || !::IsWindow(hWnd))
            return FALSE;
        this->m_thunk.Bind(hWnd, this);
        auto pfnOld = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetWindowProc())));
        if (!pfnOld)
        {
            this->m_thunk.Unbind();
            return FALSE;
        }
        m_pfnSuperWindowProc = pfnOld;
        this->m_hWnd = hWnd;
        return TRUE;
    }

    // Gives the window its old procedure back.
    HWND UnsubclassWindow()
    {
        HWND hWnd = this->m_hWnd;
        if (!hWnd)
            return nullptr;
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
        m_pfnSuperWindowProc = ::DefWindowProcW;
        this->m_thunk.Unbind();
        this->m_hWnd = nullptr;
        return hWnd;
    }

    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        return ::CallWindowProcW(m_pfnSuperWindowProc, this->m_hWnd, uMsg, wParam, lParam);
    }

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* pThis = static_cast<CWindowImplBaseT*>(CWndProcThunk::Lookup(hWnd));
        if (!pThis)
            return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
        LRESULT lResult = 0;
        if (!pThis->DispatchToMap(hWnd, uMsg, wParam, lParam, lResult))
            lResult = ::CallWindowProcW(pThis->m_pfnSuperWindowProc, hWnd, uMsg, wParam, lParam);
        if (uMsg == WM_NCDESTROY)
        {
            // The window is gone: the object lets go of it.
            pThis->m_pfnSuperWindowProc = ::DefWindowProcW;
            pThis->m_thunk.Unbind();
            pThis->m_hWnd = nullptr;
            pThis->OnFinalMessage(hWnd);
        }
        return lResult;
    }
};

template <class T, class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CWindowImpl : public CWindowImplBaseT<TBase, TWinTraits>
{
};
