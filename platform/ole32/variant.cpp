// VARIANT lifetime: what a variant owns (a BSTR, one reference on an interface) is freed by
// VariantClear and duplicated by VariantCopy. By-reference variants own nothing. Arrays and
// records are not supported here (no SAFEARRAY functions exist to make them).
#include <cstring>

#include "oaidl.h"
#include "oleauto.h"

namespace
{
bool IsPlainType(VARTYPE vt)
{
    switch (vt)
    {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

bool IsSupported(VARTYPE vt)
{
    if ((vt & VT_BYREF) != 0)
        return (vt & ~VT_BYREF) <= VT_TYPEMASK;
    return IsPlainType(vt) || vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH;
}
} // namespace

void WINAPI VariantInit(VARIANTARG* pvarg)
{
    if (pvarg == nullptr)
        return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT WINAPI VariantClear(VARIANTARG* pvarg)
{
    if (pvarg == nullptr)
        return E_INVALIDARG;
    if (!IsSupported(pvarg->vt))
        return DISP_E_BADVARTYPE;
    switch (pvarg->vt)
    {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_UNKNOWN:
        if (pvarg->punkVal != nullptr)
            pvarg->punkVal->Release();
        break;
    case VT_DISPATCH:
        if (pvarg->pdispVal != nullptr)
            pvarg->pdispVal->Release();
        break;
    default:
        break;
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc)
{
    if (pvargDest == nullptr || pvargSrc == nullptr)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    if (!IsSupported(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr))
        return hr;
    std::memcpy(static_cast<void*>(pvargDest), pvargSrc, sizeof(VARIANT));
    switch (pvargSrc->vt)
    {
    case VT_BSTR:
        if (pvargSrc->bstrVal != nullptr)
        {
            // Byte length, so that embedded zeros and odd lengths survive the copy.
            pvargDest->bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                                       SysStringByteLen(pvargSrc->bstrVal));
            if (pvargDest->bstrVal == nullptr)
            {
                pvargDest->vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
        }
        break;
    case VT_UNKNOWN:
        if (pvargDest->punkVal != nullptr)
            pvargDest->punkVal->AddRef();
        break;
    case VT_DISPATCH:
        if (pvargDest->pdispVal != nullptr)
            pvargDest->pdispVal->AddRef();
        break;
    default:
        break;
    }
    return S_OK;
}
