// What the WebBrowser control asks of its host's site: the document host's UI handler
// (chrome, accelerators, the window.external object) and the message boxes of page script.
#pragma once

#include "oaidl.h"
#include "winuser.h"

// {BD3F23C0-D43E-11CF-893B-00AA00BDCE1A}
inline const IID IID_IDocHostUIHandler = {0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
// {C4D244B0-D43E-11CF-893B-00AA00BDCE1A}
inline const IID IID_IDocHostShowUI = {0xC4D244B0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

#define DOCHOSTUIFLAG_DIALOG 0x00000001
#define DOCHOSTUIFLAG_DISABLE_HELP_MENU 0x00000002
#define DOCHOSTUIFLAG_NO3DBORDER 0x00000004
#define DOCHOSTUIFLAG_SCROLL_NO 0x00000008
#define DOCHOSTUIFLAG_THEME 0x00040000

#define DOCHOSTUIDBLCLK_DEFAULT 0
#define DOCHOSTUIDBLCLK_SHOWPROPERTIES 1
#define DOCHOSTUIDBLCLK_SHOWCODE 2

typedef struct _DOCHOSTUIINFO
{
    ULONG cbSize;
    DWORD dwFlags;
    DWORD dwDoubleClick;
    OLECHAR* pchHostCss;
    OLECHAR* pchHostNS;
} DOCHOSTUIINFO;

struct IDocHostUIHandler : public IUnknown
{
    // S_OK: the host showed (or suppressed) the menu; the control shows none.
    STDMETHOD(ShowContextMenu)(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved, IDispatch* pdispReserved) PURE;
    STDMETHOD(GetHostInfo)(DOCHOSTUIINFO* pInfo) PURE;
    STDMETHOD(ShowUI)(DWORD dwID, IUnknown* pActiveObject, IUnknown* pCommandTarget, IUnknown* pFrame,
                      IUnknown* pDoc) PURE;
    STDMETHOD(HideUI)() PURE;
    STDMETHOD(UpdateUI)() PURE;
    STDMETHOD(EnableModeless)(BOOL fEnable) PURE;
    STDMETHOD(OnDocWindowActivate)(BOOL fActivate) PURE;
    STDMETHOD(OnFrameWindowActivate)(BOOL fActivate) PURE;
    STDMETHOD(ResizeBorder)(LPCRECT prcBorder, IUnknown* pUIWindow, BOOL fRameWindow) PURE;
    // S_OK: the host handled the key and the page does not see it; S_FALSE: the page does.
    STDMETHOD(TranslateAccelerator)(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) PURE;
    STDMETHOD(GetOptionKeyPath)(OLECHAR** pchKey, DWORD dw) PURE;
    STDMETHOD(GetDropTarget)(IUnknown* pDropTarget, IUnknown** ppDropTarget) PURE;
    // The object page script sees as window.external.
    STDMETHOD(GetExternal)(IDispatch** ppDispatch) PURE;
    STDMETHOD(TranslateUrl)(DWORD dwTranslate, OLECHAR* pchURLIn, OLECHAR** ppchURLOut) PURE;
    STDMETHOD(FilterDataObject)(IUnknown* pDO, IUnknown** ppDORet) PURE;
};

struct IDocHostShowUI : public IUnknown
{
    // alert() and its kin: S_OK when the host showed the box (its result in *plResult).
    STDMETHOD(ShowMessage)(HWND hwnd, OLECHAR* lpstrText, OLECHAR* lpstrCaption, DWORD dwType,
                           OLECHAR* lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) PURE;
    STDMETHOD(ShowHelp)(HWND hwnd, OLECHAR* pszHelpFile, UINT uCommand, DWORD dwData, POINT ptMouse,
                        IDispatch* pDispatchObjectHit) PURE;
};
