// The request's signature, made in the CSP with the container's new key.
#include "Pkcs10Writer.h"

#include <algorithm>
#include <cstring>

#include "DerEncoding.h"
#include "EnrollmentForms.h"
#include "HResult.h"
#include "Pkcs10Compose.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"PKCS10Request"

namespace
{
// The CSP hashes at most this much per call.
constexpr DWORD kHashPiece = 0x4000;
// Room for an SM2 signature, whatever size the CSP announces.
constexpr DWORD kSM2SignatureRoom = 16384;

class CSignHandles
{
  public:
    ~CSignHandles()
    {
        if (m_hHash)
        {
            CryptDestroyHash(m_hHash);
        }
        if (m_hKey)
        {
            CryptDestroyKey(m_hKey);
        }
    }
    HCRYPTKEY m_hKey = 0;
    HCRYPTHASH m_hHash = 0;
};

HRESULT StepFailed(LPCWSTR lpwszStep)
{
    HRESULT hResult = HResultOfFailedCall();
    TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10CalculateHashandSign", lpwszStep, u"!bResult", hResult);
    return hResult;
}
} // namespace

HRESULT PKCS10CalculateHashandSign(HCRYPTPROV hProv, LPCSTR lpszKeyAlgOid, const BYTE* pbData,
                                   DWORD cbData, ALG_ID algHash, DWORD dwKeySpec,
                                   BYTE** ppbSignature, DWORD* pcbSignature)
{
    TraceHelper trace(u"PKCS10CalculateHashandSign");
    CSignHandles handles;
    if (!CryptGetUserKey(hProv, dwKeySpec, &handles.m_hKey))
    {
        handles.m_hKey = 0;
        return StepFailed(u"CryptGetUserKey");
    }
    if (!CryptCreateHash(hProv, algHash, 0, 0, &handles.m_hHash))
    {
        handles.m_hHash = 0;
        return StepFailed(u"CryptCreateHash");
    }
    for (DWORD cbDone = 0; cbDone < cbData;)
    {
        const DWORD cbPiece = std::min(kHashPiece, cbData - cbDone);
        if (!CryptHashData(handles.m_hHash, pbData + cbDone, cbPiece, 0))
        {
            return StepFailed(u"CryptHashData");
        }
        cbDone += cbPiece;
    }
    DWORD cbSignature = 0;
    if (!CryptSignHashW(handles.m_hHash, dwKeySpec, nullptr, 0, nullptr, &cbSignature))
    {
        return StepFailed(u"CryptSignHash(1)");
    }
    const bool bRSA = lpszKeyAlgOid && strcmp(lpszKeyAlgOid, szOID_RSA_RSA) == 0;
    const DWORD cbRoom = bRSA ? cbSignature : kSM2SignatureRoom;
    BYTE* pbSignature = NewZeroedArray<BYTE>(cbRoom);
    if (!pbSignature)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10CalculateHashandSign", u"New Memory",
                          u"!pbSignature", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    cbSignature = cbRoom;
    if (!CryptSignHashW(handles.m_hHash, dwKeySpec, nullptr, 0, pbSignature, &cbSignature))
    {
        delete[] pbSignature;
        return StepFailed(u"CryptSignHash(2)");
    }
    // CryptoAPI writes least significant byte first.
    if (bRSA)
    {
        std::reverse(pbSignature, pbSignature + cbSignature);
    }
    else if (cbSignature >= SM2_RAW_SIGNATURE_SIZE)
    {
        std::reverse(pbSignature, pbSignature + SM2_COORDINATE_SIZE);
        std::reverse(pbSignature + SM2_COORDINATE_SIZE, pbSignature + SM2_RAW_SIGNATURE_SIZE);
    }
    TraceStepSucceeded(u"PKCS10CalculateHashandSign", u"CryptSignHash(2)");
    *ppbSignature = pbSignature;
    *pcbSignature = cbSignature;
    return S_OK;
}

HRESULT ComposeSignature(const BYTE* pbSignature, DWORD cbSignature, BOOL bSM2, BYTE** ppbOut,
                         DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeSignature");
    if (!bSM2)
    {
        return ComposeBITString(pbSignature, cbSignature, ppbOut, pcbOut);
    }
    CByteBuffer bufDer;
    HRESULT hResult =
        SM2EncodeRawSignature(bufDer.Put(), bufDer.PutLength(), pbSignature, cbSignature);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSignature", u"SM2EncodeRawSignature",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    return ComposeBITString(bufDer.Data(), bufDer.Length(), ppbOut, pcbOut);
}
