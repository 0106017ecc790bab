// The HTML document object model as the WebBrowser control hands it to its host: a
// document, its frames and each frame's window, and the script object of a document. Only
// the members a host uses to reach page functions are declared.
#pragma once

#include "oaidl.h"

struct IHTMLDocument2;
struct IHTMLWindow2;

// {332C4426-26CB-11D0-B483-00C04FD90119}
inline const IID IID_IHTMLFramesCollection2 = {0x332C4426, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
// {332C4425-26CB-11D0-B483-00C04FD90119}
inline const IID IID_IHTMLDocument2 = {0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
// {332C4427-26CB-11D0-B483-00C04FD90119}
inline const IID IID_IHTMLWindow2 = {0x332C4427, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};

struct IHTMLFramesCollection2 : public IDispatch
{
    // A frame by name or id (VT_BSTR) or by index (VT_I4): VT_DISPATCH of its window.
    STDMETHOD(item)(VARIANT* pvarIndex, VARIANT* pvarResult) PURE;
    STDMETHOD(get_length)(LONG* p) PURE;
};

struct IHTMLWindow2 : public IHTMLFramesCollection2
{
    STDMETHOD(get_frames)(IHTMLFramesCollection2** p) PURE;
    STDMETHOD(get_document)(IHTMLDocument2** p) PURE;
};

struct IHTMLDocument2 : public IDispatch
{
    // The script engine of the document: GetIDsOfNames finds global functions, Invoke calls them.
    STDMETHOD(get_Script)(IDispatch** p) PURE;
    STDMETHOD(get_frames)(IHTMLFramesCollection2** p) PURE;
    STDMETHOD(get_URL)(BSTR* p) PURE;
};
