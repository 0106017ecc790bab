// The WebBrowser control: created as a child window of its container, driven through its
// IDispatch (Navigate2, Document) and reporting events (BeforeNavigate2) to the container's
// event sink.
#pragma once

#include "mshtml.h"
#include "mshtmhst.h"

// {8856F961-340A-11D0-A96B-00C04FD705A2}
inline const CLSID CLSID_WebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

#define DISPID_WEBBROWSER_DOCUMENT 203
#define DISPID_WEBBROWSER_NAVIGATE2 500
// Event: (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel), Cancel a VT_BOOL
// by reference the sink sets to VARIANT_TRUE to stop the navigation.
#define DISPID_BEFORENAVIGATE2 250

#ifndef QMWEBAPI
#define QMWEBAPI extern "C" __attribute__((visibility("default")))
#endif

// Creates the control as a child window of hwndParent at *prc with the id. pClientSite is
// asked for IDocHostUIHandler and IDocHostShowUI; pEventSink (may be null) receives the
// events. On success *ppControl holds the control's IDispatch and *phwnd its window.
// E_FAIL when no display is available to render pages.
QMWEBAPI HRESULT WINAPI QmCreateWebBrowser(HWND hwndParent, const RECT* prc, UINT id, IUnknown* pClientSite,
                                           IDispatch* pEventSink, IDispatch** ppControl, HWND* phwnd);
