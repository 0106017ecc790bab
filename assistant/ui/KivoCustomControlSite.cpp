#include "KivoCustomControlSite.h"

#include "KivoMessageBox.h"
#include "oleauto.h"

CKivoCustomControlSite::CKivoCustomControlSite(IDispatch* pExternal, NavigateHandler onBeforeNavigate)
    : m_pExternal(pExternal), m_onBeforeNavigate(std::move(onBeforeNavigate))
{
}

STDMETHODIMP CKivoCustomControlSite::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    if (riid == IID_IUnknown)
        *ppvObject = static_cast<IUnknown*>(this);
    else if (riid == IID_IDocHostUIHandler)
        *ppvObject = &m_xDocHostUIHandler;
    else if (riid == IID_IDocHostShowUI)
        *ppvObject = &m_xDocHostShowUI;
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// ---- IDocHostUIHandler: delegates its identity to the site.
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::QueryInterface(REFIID riid, void** ppvObject)
{
    return m_pSite->QueryInterface(riid, ppvObject);
}
STDMETHODIMP_(ULONG) CKivoCustomControlSite::XDocHostUIHandler::AddRef() { return m_pSite->AddRef(); }
STDMETHODIMP_(ULONG) CKivoCustomControlSite::XDocHostUIHandler::Release() { return m_pSite->Release(); }

STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*)
{
    return S_OK;
}

STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    pInfo->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_THEME;
    pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::ShowUI(DWORD, IUnknown*, IUnknown*, IUnknown*, IUnknown*)
{
    return S_OK;
}
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::HideUI() { return S_OK; }
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::UpdateUI() { return S_OK; }
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::EnableModeless(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::OnDocWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::ResizeBorder(LPCRECT, IUnknown*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::TranslateAccelerator(LPMSG lpMsg, const GUID*, DWORD)
{
    // Ctrl+O, Ctrl+P and Ctrl+N would open, print or make a window outside the assistant.
    // The letter is read from the keyboard, not from the message.
    if (GetKeyState(VK_CONTROL) < 0 && lpMsg && lpMsg->message == WM_KEYDOWN &&
        (GetAsyncKeyState('O') < 0 || GetAsyncKeyState('P') < 0 || GetAsyncKeyState('N') < 0))
        return S_OK;
    return S_FALSE;
}

STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::GetOptionKeyPath(OLECHAR**, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::GetDropTarget(IUnknown*, IUnknown**) { return E_NOTIMPL; }

STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::GetExternal(IDispatch** ppDispatch)
{
    if (!ppDispatch)
        return E_POINTER;
    *ppDispatch = m_pSite->m_pExternal;
    if (*ppDispatch)
        (*ppDispatch)->AddRef();
    return S_OK;
}

STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::TranslateUrl(DWORD, OLECHAR*, OLECHAR**) { return E_NOTIMPL; }
STDMETHODIMP CKivoCustomControlSite::XDocHostUIHandler::FilterDataObject(IUnknown*, IUnknown**) { return E_NOTIMPL; }

// ---- IDocHostShowUI
STDMETHODIMP CKivoCustomControlSite::XDocHostShowUI::QueryInterface(REFIID riid, void** ppvObject)
{
    return m_pSite->QueryInterface(riid, ppvObject);
}
STDMETHODIMP_(ULONG) CKivoCustomControlSite::XDocHostShowUI::AddRef() { return m_pSite->AddRef(); }
STDMETHODIMP_(ULONG) CKivoCustomControlSite::XDocHostShowUI::Release() { return m_pSite->Release(); }

STDMETHODIMP CKivoCustomControlSite::XDocHostShowUI::ShowMessage(HWND hwnd, OLECHAR* lpstrText, OLECHAR*, DWORD dwType,
                                                                 OLECHAR*, DWORD, LRESULT* plResult)
{
    // Every alert of the pages is captioned "My Title".
    std::u16string text;
    if (reinterpret_cast<ULONG_PTR>(lpstrText) < 0x10000)
    {
        // A string-resource id rather than a text.
        WCHAR buf[1024];
        int n = LoadStringW(nullptr, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(lpstrText)), buf, 1024);
        text.assign(buf, static_cast<size_t>(n > 0 ? n : 0));
    }
    else
        text = lpstrText;
    int result = KivoMessageBox(hwnd, text, u"My Title", dwType);
    if (plResult)
        *plResult = result;
    return S_OK;
}

STDMETHODIMP CKivoCustomControlSite::XDocHostShowUI::ShowHelp(HWND, OLECHAR*, UINT, DWORD, POINT, IDispatch*)
{
    return S_OK;
}

// ---- event sink
STDMETHODIMP CKivoCustomControlSite::XEventSink::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch)
    {
        *ppvObject = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) CKivoCustomControlSite::XEventSink::AddRef() { return m_pSite->AddRef(); }
STDMETHODIMP_(ULONG) CKivoCustomControlSite::XEventSink::Release() { return m_pSite->Release(); }
STDMETHODIMP CKivoCustomControlSite::XEventSink::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
STDMETHODIMP CKivoCustomControlSite::XEventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP CKivoCustomControlSite::XEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CKivoCustomControlSite::XEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD,
                                                        DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO*, UINT*)
{
    if (dispIdMember != DISPID_BEFORENAVIGATE2 || !pDispParams || pDispParams->cArgs != 7)
        return S_OK;
    VARIANT& vCancel = pDispParams->rgvarg[0];
    VARIANT& vUrl = pDispParams->rgvarg[5];
    if (vCancel.vt != (VT_BYREF | VT_BOOL) || !vCancel.pboolVal)
        return E_INVALIDARG;
    const VARIANT* url = vUrl.vt == (VT_BYREF | VT_VARIANT) ? vUrl.pvarVal : &vUrl;
    std::u16string strUrl = url && url->vt == VT_BSTR && url->bstrVal
                                ? std::u16string(url->bstrVal, SysStringLen(url->bstrVal))
                                : std::u16string();
    if (m_pSite->m_onBeforeNavigate)
        m_pSite->m_onBeforeNavigate(strUrl, vCancel.pboolVal);
    return S_OK;
}
