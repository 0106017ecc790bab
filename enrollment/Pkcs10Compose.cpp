#include "Pkcs10Compose.h"

#include <cstring>

#include "Asn1TlvParser.h"
#include "DerEncoding.h"
#include "EncodeObject.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"PKCS10Request"

namespace
{
// EncodeObject hands out its buffer even when the encoding fails; that one is freed here.
HRESULT EncodeInto(const void* pvStruct, LPCSTR lpszType, CByteBuffer& buf)
{
    BYTE** ppb = buf.Put();
    HRESULT hResult = EncodeObject(pvStruct, buf.PutLength(), lpszType, ppb);
    if (FAILED(hResult))
    {
        buf.Free();
    }
    return hResult;
}

// A node written again with its own tag and value bytes.
HRESULT ReencodeNode(const ASN1Node* pNode, CByteBuffer& buf)
{
    return ASN1Encode(pNode->bTag, pNode->Value(), pNode->dwValueLength, buf.Put(),
                      buf.PutLength());
}
} // namespace

HRESULT ComposeAnyString(DWORD cbValue, DWORD dwValueType, const BYTE* pbValue, BYTE** ppbOut,
                         DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeAnyString");
    CERT_NAME_VALUE value = {};
    value.dwValueType = dwValueType;
    value.Value.cbData = cbValue;
    value.Value.pbData = const_cast<BYTE*>(pbValue);
    CByteBuffer buf;
    HRESULT hResult = EncodeInto(&value, X509_ANY_STRING, buf);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeAnyString", u"EncodeObject(X509_ANY_STRING)",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    *pcbOut = buf.Length();
    *ppbOut = buf.Detach();
    return S_OK;
}

HRESULT ComposeBITString(const BYTE* pbBits, DWORD cbBits, BYTE** ppbOut, DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeBITString");
    CRYPT_BIT_BLOB bits = {};
    bits.cbData = cbBits;
    bits.pbData = const_cast<BYTE*>(pbBits);
    bits.cUnusedBits = 0;
    CByteBuffer buf;
    HRESULT hResult = EncodeInto(&bits, X509_BITS, buf);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeBITString", u"EncodeObject(X509_BITS)",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    *pcbOut = buf.Length();
    *ppbOut = buf.Detach();
    return S_OK;
}

HRESULT ComposeStandardAttribute(LPCSTR lpszOid, const BYTE* pbValue, DWORD cbValue, BYTE** ppbOut,
                                 DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeStandardAttribute");
    CRYPT_ATTR_BLOB blob = {cbValue, const_cast<BYTE*>(pbValue)};
    CRYPT_ATTRIBUTE attr = {const_cast<LPSTR>(lpszOid), 1, &blob};
    CByteBuffer buf;
    HRESULT hResult = EncodeInto(&attr, PKCS_ATTRIBUTE, buf);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeStandardAttribute", u"EncodeObject(PKCS_ATTRIBUTE)",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    *pcbOut = buf.Length();
    *ppbOut = buf.Detach();
    return S_OK;
}

HRESULT ComposeSpecialAttribute(LPCSTR lpszOid, const BYTE* pbValue, DWORD cbValue, BYTE** ppbOut,
                                DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeSpecialAttribute");
    CRYPT_ATTR_BLOB blob = {cbValue, const_cast<BYTE*>(pbValue)};
    CRYPT_ATTRIBUTE attr = {const_cast<LPSTR>(lpszOid), pbValue ? (DWORD)1 : (DWORD)0,
                            pbValue ? &blob : nullptr};
    CByteBuffer bufAttr;
    HRESULT hResult = EncodeInto(&attr, PKCS_ATTRIBUTE, bufAttr);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSpecialAttribute", u"EncodeObject(PKCS_ATTRIBUTE)",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }

    if (!pbValue)
    {
        // SEQUENCE { OID, SET {} }: the empty SET becomes NULL.
        const DWORD cb = bufAttr.Length();
        BYTE* pb = const_cast<BYTE*>(bufAttr.Data());
        if (cb < 2 || pb[cb - 2] != ASN_TAG_SET || pb[cb - 1] != 0)
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSpecialAttribute", u"Check empty SET",
                              u"no 31 00 at the end", E_FAIL);
            return E_FAIL;
        }
        pb[cb - 2] = 0x05;
        pb[cb - 1] = 0x00;
        *pcbOut = cb;
        *ppbOut = bufAttr.Detach();
        return S_OK;
    }

    // SEQUENCE { OID, SET { value } } without the SET.
    ASN1Node* pRoot = nullptr;
    hResult = DecodeASN1Memory(&pRoot, bufAttr.Data(), bufAttr.Length());
    if (SUCCEEDED(hResult) &&
        (pRoot->vtrChildren.size() < 2 || pRoot->vtrChildren[1]->vtrChildren.empty()))
    {
        hResult = E_FAIL;
    }
    if (FAILED(hResult))
    {
        delete pRoot;
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSpecialAttribute", u"DecodeASN1Memory",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufOid;
    CByteBuffer bufValue;
    hResult = ReencodeNode(pRoot->vtrChildren[0], bufOid);
    if (SUCCEEDED(hResult))
    {
        hResult = ReencodeNode(pRoot->vtrChildren[1]->vtrChildren[0], bufValue);
    }
    delete pRoot;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSpecialAttribute", u"ASN1Encode",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    const BYTE_PART rgParts[] = {{bufOid.Data(), bufOid.Length()},
                                 {bufValue.Data(), bufValue.Length()}};
    hResult = EncodeParts(ASN_TAG_SEQUENCE, rgParts, 2, ppbOut, pcbOut);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSpecialAttribute", u"ASN1Encode(SEQUENCE)",
                          u"FAILED(hResult)", hResult);
    }
    return hResult;
}
