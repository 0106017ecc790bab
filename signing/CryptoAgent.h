// The signing agent behind the script object: the chosen certificate, its facts, signing.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

#include "SigningCodes.h"

struct _UNREGISTERED_CERT_CONTEXT;

// Key algorithm of the chosen certificate.
#define SIGN_KEY_ALGORITHM_RSA 0
#define SIGN_KEY_ALGORITHM_SM2 1

class CCryptoAgent
{
public:
    CCryptoAgent();
    virtual ~CCryptoAgent();

    CCryptoAgent(const CCryptoAgent&) = delete;
    CCryptoAgent& operator=(const CCryptoAgent&) = delete;

    // Chooses the signing certificate; *pbChosen is VARIANT_TRUE on success only.
    virtual HRESULT SelectCertificate(BSTR bstrSubjectDNFilter, BSTR bstrIssuerDNFilter, BSTR bstrSNFilter,
                                      BSTR bstrCSPNameList, VARIANT_BOOL* pbChosen);
    // One fact of the chosen certificate; *pbstrInfo is always a new string (SysFreeString).
    virtual HRESULT GetSignCertInfo(BSTR bstrInfoType, BSTR* pbstrInfo);
    // Base64 PKCS#7 over the UTF-8 bytes of the text.
    virtual HRESULT SignMsgPKCS7(BSTR bstrSourceData, BSTR bstrHashAlg, VARIANT_BOOL bAttached, BSTR* pbstrSignature);
    // The same for a caller that knows the text's length (no zero inside it) and whose text
    // may go once its UTF-8 form exists: *ppwszSource, an array-new text, is then freed and
    // set to null, so a large text is neither measured again nor held twice.
    HRESULT SignMsgPKCS7ReleasingSource(LPWSTR* ppwszSource, DWORD cchSource, BSTR bstrHashAlg,
                                        VARIANT_BOOL bAttached, BSTR* pbstrSignature);
    // Detached Base64 PKCS#7 over a Base64 digest.
    virtual HRESULT SignHashMsgPKCS7Detached(BSTR bstrSourceHashData, BSTR bstrHashAlg, BSTR* pbstrSignature);
    // Text of the agent's last result; the caller frees it with SysFreeString.
    virtual HRESULT GetLastErrorDesc(BSTR* pbstrDescription);
    // Writes zero; changes nothing else.
    virtual HRESULT GetVersion(LONG* plVersion);

    // Forgets the chosen certificate (both kinds).
    void ReleaseSignCertificate();

private:
    HRESULT SignText(BSTR bstrSourceData, const DWORD* pcchSource, LPWSTR* ppwszRelease, BSTR bstrHashAlg,
                     VARIANT_BOOL bAttached, BSTR* pbstrSignature);
    HRESULT SignContent(const BYTE* pbContent, DWORD cbContent, BSTR bstrHashAlg, VARIANT_BOOL bAttached,
                        BSTR* pbstrSignature);
    HRESULT SignDigest(const BYTE* pbDigest, DWORD cbDigest, BSTR bstrHashAlg, BSTR* pbstrSignature);
    HRESULT ComputeSignCertInfo(BSTR bstrInfoType, LPWSTR* ppwszInfo);
    PCCERT_CONTEXT SelectedCertificate() const;

    HRESULT m_hrLastResult;
    PCCERT_CONTEXT m_pSignCertContext;
    DWORD m_dwKeyAlgorithm;
    struct _UNREGISTERED_CERT_CONTEXT* m_pUnregisteredSignCertContext;
};
