// Wrapper of the WebBrowser control, created at run time in a dialog: Navigate2 and the
// Document property through the control's dispatch interface.
#pragma once

#include <string>

#include "exdisp.h"

class CWebbrowser
{
public:
    CWebbrowser() = default;
    ~CWebbrowser();
    CWebbrowser(const CWebbrowser&) = delete;
    CWebbrowser& operator=(const CWebbrowser&) = delete;

    // The control as child nID of hWndParent at rc, its site pSite (UI handler, message
    // boxes) and its events to pEventSink.
    BOOL Create(HWND hWndParent, const RECT& rc, UINT nID, IUnknown* pSite, IDispatch* pEventSink);
    void DestroyWindow();

    // Navigate2 (dispatch id 500): the URL and four empty arguments.
    HRESULT Navigate2(const std::u16string& strUrl);
    // Document (dispatch id 203), AddRef'd; null while no page is loaded.
    IDispatch* GetDocument();

    IDispatch* GetControl() const { return m_pControl; }
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    IDispatch* m_pControl = nullptr;
    HWND m_hWnd = nullptr;
};
