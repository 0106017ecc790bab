#include "EncodeObject.h"

#include <cstring>
#include <new>

#include "HResult.h"
#include "Trace.h"

HRESULT EncodeObject(const void* pvStructInfo, DWORD* pcbEncoded, LPCSTR lpszStructType, BYTE** ppbEncoded)
{
    TraceHelper trace(u"EncodeObject");
    if (!pcbEncoded || !ppbEncoded)
        return E_POINTER;
    const DWORD dwEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
    DWORD cbEncoded = 0;
    if (!CryptEncodeObject(dwEncoding, lpszStructType, pvStructInfo, nullptr, &cbEncoded))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptEncodeObject - get length");
        return hr;
    }
    BYTE* pbEncoded = new (std::nothrow) BYTE[cbEncoded ? cbEncoded : 1];
    if (!pbEncoded)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    std::memset(pbEncoded, 0, cbEncoded ? cbEncoded : 1);
    *ppbEncoded = pbEncoded;
    *pcbEncoded = cbEncoded;
    if (!CryptEncodeObject(dwEncoding, lpszStructType, pvStructInfo, pbEncoded, &cbEncoded))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptEncodeObject - get value");
        return hr;
    }
    *pcbEncoded = cbEncoded;
    TraceResult(S_OK, u"CryptEncodeObject - get value");
    return S_OK;
}
