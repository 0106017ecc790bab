#include "KeyPairDelivery.h"

#include <cstring>

#include "Asn1TlvParser.h"
#include "CertImportHelpers.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"ImportEncryptCert"

namespace
{
const WCHAR s_wszASN1ObjName[] = u"GetSessionKeyandPrivateKeyASN1Obj";

// Both readings; bAllowNoSessionKey is the Ex form.
HRESULT ReadSessionKeyandPrivateKeyASN1Obj(const std::u16string& wstrData, bool bAllowNoSessionKey,
                                           BYTE** ppbSessionKeyDer, DWORD* pcbSessionKeyDer,
                                           BYTE** ppbPrivateKeyDer, DWORD* pcbPrivateKeyDer, ALG_ID* pSessionKeyAlg)
{
    LPCWSTR lpwszName = s_wszASN1ObjName;
    // The header's three numbers come before any field; a shorter text is refused outright.
    if (wstrData.size() < DELIVERY_HEADER_CCH)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"Check encrypted data size.", u"nDataLen < 48",
                          E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    long long llDeviceType = ReadDeliveryNumber(wstrData.substr(0, DELIVERY_NUMBER_CCH));
    if (llDeviceType != 0 && llDeviceType != 1 && llDeviceType != 2)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"Invalid device type of generating encrypt cert key.", u"TRUE",
                          E_INVALID_DEVICE_TYPE);
        return E_INVALID_DEVICE_TYPE;
    }
    long long llEncryptType = ReadDeliveryNumber(wstrData.substr(16, DELIVERY_NUMBER_CCH));
    if (llEncryptType != 1 && llEncryptType != 2)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"Invalid encrypt type used for encrypting private key.", u"TRUE",
                          E_INVALID_ENCRYPT_TYPE);
        return E_INVALID_ENCRYPT_TYPE;
    }
    long long llSessionKeyType = ReadDeliveryNumber(wstrData.substr(32, DELIVERY_NUMBER_CCH));
    ALG_ID algSession = 0;
    if (llSessionKeyType == DELIVERY_SESSION_KEY_3DES)
    {
        algSession = CALG_3DES;
    }
    else if (!(bAllowNoSessionKey && llSessionKeyType == 0))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"Invalid session key type used for encrypting private key.",
                          u"TRUE", E_INVALID_SESSION_KEY_TYPE);
        return E_INVALID_SESSION_KEY_TYPE;
    }

    size_t nPosition = DELIVERY_HEADER_CCH;
    std::u16string wstrSessionKey, wstrPrivateKey;
    HRESULT hResult = GetBase64KeyFromEncryptedData(wstrData, &nPosition, wstrSessionKey);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"get session key encoded with base64", u"FAILED(hResult)", hResult);
        return hResult;
    }
    hResult = GetBase64KeyFromEncryptedData(wstrData, &nPosition, wstrPrivateKey);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"get private key encoded with base64", u"FAILED(hResult)", hResult);
        return hResult;
    }

    BYTE* pbSessionKey = nullptr;
    DWORD cbSessionKey = 0;
    if (algSession == CALG_3DES)
    {
        hResult = DecodeBase64Key(wstrSessionKey.c_str(), &pbSessionKey, &cbSessionKey);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"base64 decode session key FAILED.", u"FAILED(hResult)",
                              hResult);
            return hResult;
        }
    }
    BYTE* pbPrivateKey = nullptr;
    DWORD cbPrivateKey = 0;
    hResult = DecodeBase64Key(wstrPrivateKey.c_str(), &pbPrivateKey, &cbPrivateKey);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"base64 decode private key FAILED.", u"FAILED(hResult)", hResult);
        delete[] pbSessionKey;
        return hResult;
    }
    *ppbSessionKeyDer = pbSessionKey;
    *pcbSessionKeyDer = cbSessionKey;
    *ppbPrivateKeyDer = pbPrivateKey;
    *pcbPrivateKeyDer = cbPrivateKey;
    *pSessionKeyAlg = algSession;
    return S_OK;
}

HRESULT ParsePrivateKeyData(const std::u16string& wstrData, bool bAllowNoSessionKey, LPCWSTR lpwszName,
                            BYTE** ppbSessionKey, DWORD* pcbSessionKey, ALG_ID* pSessionKeyAlg,
                            BYTE** ppbPrivateKey, DWORD* pcbPrivateKey)
{
    BYTE* pbSessionKeyDer = nullptr;
    DWORD cbSessionKeyDer = 0;
    BYTE* pbPrivateKeyDer = nullptr;
    DWORD cbPrivateKeyDer = 0;
    ALG_ID algSession = 0;
    HRESULT hResult = ReadSessionKeyandPrivateKeyASN1Obj(wstrData, bAllowNoSessionKey, &pbSessionKeyDer,
                                                         &cbSessionKeyDer, &pbPrivateKeyDer, &cbPrivateKeyDer,
                                                         &algSession);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName, u"GetSessionKeyandPrivateKeyASN1Obj", u"FAILED(hResult)", hResult);
        return hResult;
    }
    BYTE* pbSessionKey = nullptr;
    DWORD cbSessionKey = 0;
    BYTE* pbPrivateKey = nullptr;
    DWORD cbPrivateKey = 0;
    do
    {
        if (algSession == CALG_3DES)
        {
            hResult = GetSessionKeyorPrivateKeyFromASN1Obj(pbSessionKeyDer, cbSessionKeyDer, &pbSessionKey,
                                                           &cbSessionKey);
            if (FAILED(hResult))
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName,
                                  u"get session key from ASN1 Obj(GetSessionKeyorPrivateKeyFromASN1Obj)",
                                  u"FAILED(hResult)", hResult);
                break;
            }
        }
        hResult = GetSessionKeyorPrivateKeyFromASN1Obj(pbPrivateKeyDer, cbPrivateKeyDer, &pbPrivateKey,
                                                       &cbPrivateKey);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, lpwszName,
                              u"get private key from ASN1 Obj(GetSessionKeyorPrivateKeyFromASN1Obj)",
                              u"FAILED(hResult)", hResult);
            delete[] pbSessionKey;
            pbSessionKey = nullptr;
            break;
        }
        *ppbSessionKey = pbSessionKey;
        *pcbSessionKey = cbSessionKey;
        *pSessionKeyAlg = algSession;
        *ppbPrivateKey = pbPrivateKey;
        *pcbPrivateKey = cbPrivateKey;
    } while (false);
    delete[] pbSessionKeyDer;
    delete[] pbPrivateKeyDer;
    return hResult;
}
} // namespace

long long ReadDeliveryNumber(const std::u16string& wstrPiece)
{
    size_t i = 0;
    while (i < wstrPiece.size() && (wstrPiece[i] == u' ' || (wstrPiece[i] >= u'\t' && wstrPiece[i] <= u'\r')))
    {
        ++i;
    }
    bool bNegative = false;
    if (i < wstrPiece.size() && (wstrPiece[i] == u'+' || wstrPiece[i] == u'-'))
    {
        bNegative = wstrPiece[i] == u'-';
        ++i;
    }
    // Sixteen digits at most: the value always fits.
    long long llValue = 0;
    for (; i < wstrPiece.size() && wstrPiece[i] >= u'0' && wstrPiece[i] <= u'9'; ++i)
    {
        llValue = llValue * 10 + (wstrPiece[i] - u'0');
    }
    return bNegative ? -llValue : llValue;
}

HRESULT ParseEncryptCertPublicKeyCert(std::u16string& wstrCert, BYTE** ppbCert, DWORD* pcbCert)
{
    static const WCHAR s_wszName[] = u"ParseEncryptCertPublicKeyCert";
    TraceHelper trace(s_wszName);
    EraseCommaInWstr(wstrCert);
    HRESULT hResult = DecodeBase64Key(wstrCert.c_str(), ppbCert, pcbCert);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"base64 decode public key FAILED.", u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT GetSessionKeyandPrivateKeyASN1Obj(const std::u16string& wstrData, BYTE** ppbSessionKeyDer,
                                          DWORD* pcbSessionKeyDer, BYTE** ppbPrivateKeyDer, DWORD* pcbPrivateKeyDer,
                                          ALG_ID* pSessionKeyAlg)
{
    TraceHelper trace(u"GetSessionKeyandPrivateKeyASN1Obj");
    return ReadSessionKeyandPrivateKeyASN1Obj(wstrData, false, ppbSessionKeyDer, pcbSessionKeyDer, ppbPrivateKeyDer,
                                              pcbPrivateKeyDer, pSessionKeyAlg);
}

HRESULT GetSessionKeyandPrivateKeyASN1ObjEx(const std::u16string& wstrData, BYTE** ppbSessionKeyDer,
                                            DWORD* pcbSessionKeyDer, BYTE** ppbPrivateKeyDer,
                                            DWORD* pcbPrivateKeyDer, ALG_ID* pSessionKeyAlg)
{
    TraceHelper trace(u"GetSessionKeyandPrivateKeyASN1ObjEx");
    return ReadSessionKeyandPrivateKeyASN1Obj(wstrData, true, ppbSessionKeyDer, pcbSessionKeyDer, ppbPrivateKeyDer,
                                              pcbPrivateKeyDer, pSessionKeyAlg);
}

HRESULT ParseEncryptCertPrivateKeyData(const std::u16string& wstrData, BYTE** ppbSessionKey, DWORD* pcbSessionKey,
                                       ALG_ID* pSessionKeyAlg, BYTE** ppbPrivateKey, DWORD* pcbPrivateKey)
{
    static const WCHAR s_wszName[] = u"ParseEncryptCertPrivateKeyData";
    TraceHelper trace(s_wszName);
    return ParsePrivateKeyData(wstrData, false, s_wszName, ppbSessionKey, pcbSessionKey, pSessionKeyAlg,
                               ppbPrivateKey, pcbPrivateKey);
}

HRESULT ParseEncryptCertPrivateKeyDataEx(const std::u16string& wstrData, BYTE** ppbSessionKey,
                                         DWORD* pcbSessionKey, ALG_ID* pSessionKeyAlg, BYTE** ppbPrivateKey,
                                         DWORD* pcbPrivateKey)
{
    static const WCHAR s_wszName[] = u"ParseEncryptCertPrivateKeyDataEx";
    TraceHelper trace(s_wszName);
    return ParsePrivateKeyData(wstrData, true, s_wszName, ppbSessionKey, pcbSessionKey, pSessionKeyAlg,
                               ppbPrivateKey, pcbPrivateKey);
}

HRESULT GetBase64KeyFromEncryptedData(const std::u16string& wstrData, size_t* pnPosition,
                                      std::u16string& wstrBase64)
{
    static const WCHAR s_wszName[] = u"GetBase64KeyFromEncryptedData";
    TraceHelper trace(s_wszName);
    size_t nPosition = *pnPosition;
    size_t nRemainLen = nPosition < wstrData.size() ? wstrData.size() - nPosition : 0;
    if (nRemainLen == 0 || nRemainLen < DELIVERY_NUMBER_CCH)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check encrypted data size.", u"0 == nRemainLen || nRemainLen < 16",
                          E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    long long llKeyLength = ReadDeliveryNumber(wstrData.substr(nPosition, DELIVERY_NUMBER_CCH));
    nPosition += DELIVERY_NUMBER_CCH;
    nRemainLen -= DELIVERY_NUMBER_CCH;
    if (llKeyLength < 0 || (unsigned long long)llKeyLength > nRemainLen)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetBase64KeyFromEncryptedData-key's length is wrong", u"TRUE",
                          E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    if (llKeyLength == 0)
    {
        // An empty field: the next field's length follows right after this one.
        wstrBase64.clear();
        *pnPosition = nPosition;
        return S_OK;
    }
    size_t nKeyLength = (size_t)llKeyLength;
    std::u16string keyBase64Encoded = wstrData.substr(nPosition, nKeyLength);
    if (u',' != keyBase64Encoded[nKeyLength - 1])
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check endl character", u"L',' != keyBase64Encoded[nKeyLength - 1]",
                          E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    EraseCommaInWstr(keyBase64Encoded);
    wstrBase64.swap(keyBase64Encoded);
    *pnPosition = nPosition + nKeyLength;
    return S_OK;
}

HRESULT GetSessionKeyorPrivateKeyFromASN1Obj(const BYTE* pbDer, DWORD cbDer, BYTE** ppbValue, DWORD* pcbValue)
{
    static const WCHAR s_wszName[] = u"GetSessionKeyorPrivateKeyFromASN1Obj";
    TraceHelper trace(s_wszName);
    ASN1Node* pRoot = nullptr;
    HRESULT hResult = DecodeASN1Memory(&pRoot, pbDer, cbDer);
    if (hResult != S_OK)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"DecodeASN1Memory", u"TRUE", E_IMPORT_ENCRYPT_CERT);
        delete pRoot;
        return E_IMPORT_ENCRYPT_CERT;
    }
    hResult = S_OK;
    do
    {
        if (pRoot->vtrChildren.size() != 2)
        {
            hResult = E_IMPORT_ENCRYPT_CERT;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Level 1: 2 nodes(INTEGER and OCTET STRING can not be found",
                              u"TRUE", hResult);
            break;
        }
        const ASN1Node* pValue = pRoot->vtrChildren[1];
        // An unresolved or empty value carries no key; it must also lie inside the buffer.
        if (pValue->dwValueLength == 0 || pValue->dwValueLength == ASN1_INDEFINITE_LENGTH ||
            pValue->ullValueOffset > cbDer || pValue->dwValueLength > cbDer - pValue->ullValueOffset)
        {
            hResult = E_IMPORT_ENCRYPT_CERT;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check value length", u"TRUE", hResult);
            break;
        }
        BYTE* pbValue = NewZeroedArray<BYTE>(pValue->dwValueLength);
        if (!pbValue)
        {
            hResult = E_OUTOFMEMORY;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"new memory", u"NULL == pbValue", hResult);
            break;
        }
        memcpy(pbValue, pValue->Value(), pValue->dwValueLength);
        *ppbValue = pbValue;
        *pcbValue = pValue->dwValueLength;
    } while (false);
    delete pRoot;
    return hResult;
}
