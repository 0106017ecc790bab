#include "Webbrowser.h"

#include "oleauto.h"

CWebbrowser::~CWebbrowser() { DestroyWindow(); }

BOOL CWebbrowser::Create(HWND hWndParent, const RECT& rc, UINT nID, IUnknown* pSite, IDispatch* pEventSink)
{
    DestroyWindow();
    return SUCCEEDED(QmCreateWebBrowser(hWndParent, &rc, nID, pSite, pEventSink, &m_pControl, &m_hWnd));
}

void CWebbrowser::DestroyWindow()
{
    if (m_pControl)
        m_pControl->Release();
    m_pControl = nullptr;
    m_hWnd = nullptr;
}

HRESULT CWebbrowser::Navigate2(const std::u16string& strUrl)
{
    if (!m_pControl)
        return E_UNEXPECTED;
    VARIANT vUrl, vFlags, vTarget, vPost, vHeaders;
    VariantInit(&vUrl);
    vUrl.vt = VT_BSTR;
    vUrl.bstrVal = SysAllocStringLen(strUrl.data(), static_cast<UINT>(strUrl.size()));
    VariantInit(&vFlags);
    VariantInit(&vTarget);
    VariantInit(&vPost);
    VariantInit(&vHeaders);
    VARIANT args[5];
    VARIANT* byRef[5] = {&vHeaders, &vPost, &vTarget, &vFlags, &vUrl}; // last argument first
    for (int i = 0; i < 5; ++i)
    {
        VariantInit(&args[i]);
        args[i].vt = VT_BYREF | VT_VARIANT;
        args[i].pvarVal = byRef[i];
    }
    DISPPARAMS params{args, nullptr, 5, 0};
    HRESULT hr = m_pControl->Invoke(DISPID_WEBBROWSER_NAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                    nullptr, nullptr);
    VariantClear(&vUrl);
    return hr;
}

IDispatch* CWebbrowser::GetDocument()
{
    if (!m_pControl)
        return nullptr;
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (FAILED(m_pControl->Invoke(DISPID_WEBBROWSER_DOCUMENT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                  nullptr, nullptr)) ||
        result.vt != VT_DISPATCH)
    {
        VariantClear(&result);
        return nullptr;
    }
    return result.pdispVal; // the reference of the result passes to the caller
}
