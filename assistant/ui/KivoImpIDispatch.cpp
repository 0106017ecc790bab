#include "KivoImpIDispatch.h"

#include <string>

#include "KivoDispatcher.h"
#include "oleauto.h"

namespace
{
constexpr DISPID kDispIdKivoSysCall = 1;

int ArgAsInt(const VARIANT& v)
{
    const VARIANT* p = v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal ? v.pvarVal : &v;
    switch (p->vt)
    {
    case VT_R8:
        // Toward zero; NaN and numbers beyond an int are no command (no undefined conversion).
        if (!(p->dblVal > -2147483649.0 && p->dblVal < 2147483648.0))
            return 0;
        return static_cast<int>(p->dblVal);
    case VT_I4:
    case VT_INT:
        return p->lVal;
    case VT_I2:
        return p->iVal;
    case VT_BOOL:
        return p->boolVal ? -1 : 0;
    default:
        return 0;
    }
}

std::u16string ArgAsString(const VARIANT& v)
{
    const VARIANT* p = v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal ? v.pvarVal : &v;
    if (p->vt != VT_BSTR || !p->bstrVal)
        return {};
    return std::u16string(p->bstrVal, SysStringLen(p->bstrVal));
}
} // namespace

STDMETHODIMP CKivoImpIDispatch::QueryInterface(REFIID riid, void** ppvObject)
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

STDMETHODIMP_(ULONG) CKivoImpIDispatch::AddRef() { return ++m_nRef; }

STDMETHODIMP_(ULONG) CKivoImpIDispatch::Release() { return --m_nRef; }

STDMETHODIMP CKivoImpIDispatch::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

STDMETHODIMP CKivoImpIDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP CKivoImpIDispatch::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId)
{
    if (cNames && (!rgszNames || !rgDispId))
        return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < cNames; ++i)
    {
        if (rgszNames[i] && std::u16string(rgszNames[i]) == u"KivoSysCall")
            rgDispId[i] = kDispIdKivoSysCall;
        else
        {
            rgDispId[i] = DISPID_UNKNOWN;
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

STDMETHODIMP CKivoImpIDispatch::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                       VARIANT* pVarResult, EXCEPINFO*, UINT*)
{
    IKivoJobHost* pDlg = m_pMainWnd;
    if (dispIdMember != kDispIdKivoSysCall)
        return S_OK;
    if ((wFlags & DISPATCH_PROPERTYGET) && pVarResult)
    {
        VariantClear(pVarResult);
        pVarResult->vt = VT_BOOL;
        pVarResult->boolVal = VARIANT_TRUE;
    }
    if (wFlags & DISPATCH_METHOD)
    {
        // Missing arguments read as 0 and the empty string, never past what was passed.
        UINT n = pDispParams ? pDispParams->cArgs : 0;
        int nCmdId = n >= 2 ? ArgAsInt(pDispParams->rgvarg[1]) : n == 1 ? ArgAsInt(pDispParams->rgvarg[0]) : 0;
        std::u16string strArgs = n >= 2 ? ArgAsString(pDispParams->rgvarg[0]) : std::u16string();
        std::u16string strOut;
        if (pDlg && DispatchSysCall(nCmdId, strArgs, pDlg, strOut) && pVarResult)
        {
            VariantClear(pVarResult);
            pVarResult->vt = VT_BSTR;
            pVarResult->bstrVal = SysAllocStringLen(strOut.data(), static_cast<UINT>(strOut.size()));
        }
    }
    return S_OK;
}
