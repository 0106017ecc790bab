// The browser control's site: no context menu, no 3-D border or scroll bars, Ctrl+O/P/N
// swallowed, alerts shown captioned "My Title", window.external handed out, and the
// control's BeforeNavigate2 event passed to the dialog.
#pragma once

#include <functional>
#include <string>

#include "exdisp.h"

class CKivoCustomControlSite : public IUnknown
{
public:
    // BeforeNavigate2 (URL, Cancel).
    using NavigateHandler = std::function<void(const std::u16string& strUrl, VARIANT_BOOL* pCancel)>;

    CKivoCustomControlSite(IDispatch* pExternal, NavigateHandler onBeforeNavigate);
    virtual ~CKivoCustomControlSite() = default;

    // The sink of the control's events.
    IDispatch* EventSink() { return &m_xEventSink; }

    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
    STDMETHOD_(ULONG, AddRef)() override { return ++m_nRef; }
    STDMETHOD_(ULONG, Release)() override { return --m_nRef; } // owned by its control wrapper

    class XDocHostUIHandler : public IDocHostUIHandler
    {
    public:
        explicit XDocHostUIHandler(CKivoCustomControlSite* pSite) : m_pSite(pSite) {}
        STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(ShowContextMenu)(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved, IDispatch* pdispReserved) override;
        STDMETHOD(GetHostInfo)(DOCHOSTUIINFO* pInfo) override;
        STDMETHOD(ShowUI)(DWORD dwID, IUnknown* pActiveObject, IUnknown* pCommandTarget, IUnknown* pFrame,
                          IUnknown* pDoc) override;
        STDMETHOD(HideUI)() override;
        STDMETHOD(UpdateUI)() override;
        STDMETHOD(EnableModeless)(BOOL fEnable) override;
        STDMETHOD(OnDocWindowActivate)(BOOL fActivate) override;
        STDMETHOD(OnFrameWindowActivate)(BOOL fActivate) override;
        STDMETHOD(ResizeBorder)(LPCRECT prcBorder, IUnknown* pUIWindow, BOOL fRameWindow) override;
        STDMETHOD(TranslateAccelerator)(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) override;
        STDMETHOD(GetOptionKeyPath)(OLECHAR** pchKey, DWORD dw) override;
        STDMETHOD(GetDropTarget)(IUnknown* pDropTarget, IUnknown** ppDropTarget) override;
        STDMETHOD(GetExternal)(IDispatch** ppDispatch) override;
        STDMETHOD(TranslateUrl)(DWORD dwTranslate, OLECHAR* pchURLIn, OLECHAR** ppchURLOut) override;
        STDMETHOD(FilterDataObject)(IUnknown* pDO, IUnknown** ppDORet) override;

    private:
        CKivoCustomControlSite* m_pSite;
    };

    class XDocHostShowUI : public IDocHostShowUI
    {
    public:
        explicit XDocHostShowUI(CKivoCustomControlSite* pSite) : m_pSite(pSite) {}
        STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(ShowMessage)(HWND hwnd, OLECHAR* lpstrText, OLECHAR* lpstrCaption, DWORD dwType,
                               OLECHAR* lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) override;
        STDMETHOD(ShowHelp)(HWND hwnd, OLECHAR* pszHelpFile, UINT uCommand, DWORD dwData, POINT ptMouse,
                            IDispatch* pDispatchObjectHit) override;

    private:
        CKivoCustomControlSite* m_pSite;
    };

    // The dialog's event map for the control: BeforeNavigate2 only.
    class XEventSink : public IDispatch
    {
    public:
        explicit XEventSink(CKivoCustomControlSite* pSite) : m_pSite(pSite) {}
        STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
        STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
        STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
        STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                          VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    private:
        CKivoCustomControlSite* m_pSite;
    };

private:
    ULONG m_nRef = 0;
    IDispatch* m_pExternal;
    NavigateHandler m_onBeforeNavigate;
    XDocHostUIHandler m_xDocHostUIHandler{this};
    XDocHostShowUI m_xDocHostShowUI{this};
    XEventSink m_xEventSink{this};
};
