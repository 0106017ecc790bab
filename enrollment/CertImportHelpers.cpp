#include "CertImportHelpers.h"

#include "Base64Encoding.h"
#include "HResult.h"
#include "TextEncoding.h"
#include "Trace.h"

#define SOURCE_UNIT u"ImportEncryptCert"

HRESULT AddCertificateToSystemStore(LPCWSTR lpwszCSPName, HCRYPTPROV hCryptProv, const BYTE* pbCert, DWORD cbCert,
                                    DWORD dwKeySpec, LPCWSTR lpwszContainerName)
{
    static const WCHAR s_wszName[] = u"AddCertificateToSystemStore";
    TraceHelper trace(s_wszName);
    HRESULT hResult = S_OK;
    PCCERT_CONTEXT pCertContext = nullptr;
    HCERTSTORE hCertStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, hCryptProv,
                                          CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_NO_CRYPT_RELEASE_FLAG, u"MY");
    if (!hCertStore)
    {
        hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertOpenStore", u"hCertStore == NULL", hResult);
        return hResult;
    }
    TraceStepSucceeded(s_wszName, u"CertOpenStore");

    if (!CertAddEncodedCertificateToStore(hCertStore, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, pbCert, cbCert,
                                          CERT_STORE_ADD_REPLACE_EXISTING, &pCertContext))
    {
        hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertAddEncodedCertificateToStore", u"1", hResult);
    }
    else
    {
        TraceStepSucceeded(s_wszName, u"CertAddEncodedCertificateToStore");
        std::u16string wstrCSPName(lpwszCSPName ? lpwszCSPName : u"");
        CRYPT_KEY_PROV_INFO stKeyProvInfo = {};
        stKeyProvInfo.pwszContainerName = const_cast<LPWSTR>(lpwszContainerName);
        stKeyProvInfo.pwszProvName = const_cast<LPWSTR>(lpwszCSPName);
        stKeyProvInfo.dwProvType =
            RsaProviderTypeOfCSP(wstrCSPName, u"Microsoft Enhanced RSA and AES Cryptographic Provider");
        stKeyProvInfo.dwFlags = 0;
        stKeyProvInfo.cProvParam = 0;
        stKeyProvInfo.rgProvParam = nullptr;
        stKeyProvInfo.dwKeySpec = dwKeySpec;
        if (!CertSetCertificateContextProperty(pCertContext, CERT_KEY_PROV_INFO_PROP_ID, 0, &stKeyProvInfo))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertSetCertificateContextProperty", u"1", hResult);
        }
        else
        {
            TraceStepSucceeded(s_wszName, u"CertSetCertificateContextProperty");
        }
        CertFreeCertificateContext(pCertContext);
    }
    CertCloseStore(hCertStore, 0);
    return hResult;
}

bool IsOneDerElement(const BYTE* pbData, DWORD cbData)
{
    ULONGLONG ullTotal = 0;
    if (pbData && cbData >= 2 && pbData[0] == 0x30 && pbData[1] != 0x80)
    {
        const DWORD cLengthOctets = pbData[1] < 0x80 ? 0 : pbData[1] & 0x7F;
        if (cLengthOctets <= 4 && 2ULL + cLengthOctets <= cbData)
        {
            ULONGLONG ullValue = cLengthOctets ? 0 : pbData[1];
            for (DWORD i = 0; i < cLengthOctets; ++i)
            {
                ullValue = (ullValue << 8) | pbData[2 + i];
            }
            ullTotal = 2ULL + cLengthOctets + ullValue;
        }
    }
    return ullTotal != 0 && ullTotal == cbData;
}

BOOL SetKeyCertificate(HCRYPTKEY hKey, const BYTE* pbCert, DWORD cbCert)
{
    if (!IsOneDerElement(pbCert, cbCert))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"SetKeyCertificate", u"Check certificate length",
                          u"not one complete DER element", NTE_BAD_DATA);
        SetLastError((DWORD)NTE_BAD_DATA);
        return FALSE;
    }
    return CryptSetKeyParam(hKey, KP_CERTIFICATE, pbCert, 0);
}

void EraseCommaInWstr(std::u16string& wstrText)
{
    TraceHelper trace(u"EraseCommaInWstr");
    std::u16string wstrResult;
    wstrResult.reserve(wstrText.size());
    for (char16_t ch : wstrText)
    {
        if (ch != u',')
        {
            wstrResult += ch;
        }
    }
    wstrText.swap(wstrResult);
}

HRESULT DecodeBase64Key(LPCWSTR lpwszBase64, BYTE** ppbData, DWORD* pcbData)
{
    static const WCHAR s_wszName[] = u"DecodeBase64Key";
    TraceHelper trace(s_wszName);
    LPSTR pszUTF8 = nullptr;
    DWORD cbUTF8 = 0;
    HRESULT hResult = UTF16ToUTF8(lpwszBase64, &pszUTF8, &cbUTF8);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"UTF16ToUTF8 (Kernel) FAILED.", u"FAILED(hResult)", hResult);
        delete[] pszUTF8;
        return hResult;
    }
    BYTE* pbData = nullptr;
    DWORD cbData = 0;
    hResult = Base64DecodeEx((int)cbUTF8, &pbData, pszUTF8, &cbData);
    delete[] pszUTF8;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Base64DecodeEx (Kernel) FAILED.", u"FAILED(hResult)", hResult);
        delete[] pbData;
        return hResult;
    }
    *ppbData = pbData;
    *pcbData = cbData;
    return S_OK;
}

DWORD RsaProviderTypeOfCSP(const std::u16string& wstrCSPName, const char16_t* lpwszAesMarker)
{
    return ContainsText(wstrCSPName, lpwszAesMarker) ? PROV_RSA_AES : PROV_RSA_FULL;
}
