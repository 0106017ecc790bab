// The bundle of a chain document: its unexpired certificates that are not self-issued go
// into the machine's "CA" store.
#include <cstring>

#include "CertificateChainOperate.h"
#include "CertificateFilter.h"
#include "ChainNodeContent.h"
#include "ChainTrace.h"

namespace
{
bool IsSelfIssued(PCCERT_CONTEXT pCert)
{
    const CERT_NAME_BLOB& issuer = pCert->pCertInfo->Issuer;
    const CERT_NAME_BLOB& subject = pCert->pCertInfo->Subject;
    return issuer.cbData == subject.cbData && (issuer.cbData == 0 || memcmp(issuer.pbData, subject.pbData, issuer.cbData) == 0);
}
} // namespace

HRESULT ParseP7bContentNode(IXMLDOMNode* pP7bContentNode)
{
    const LPCWSTR lpwszOperation = u"ParseP7bContentNode";
    TraceHelper trace(lpwszOperation);
    if (pP7bContentNode == NULL)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.", u"pP7bContentNode == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }

    LPWSTR lpwszText = nullptr;
    HRESULT hResult = GetNodeValue(pP7bContentNode, &lpwszText);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ParseP7bContentNode-GetNodeValue", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    BYTE* pbBundle = nullptr;
    DWORD cbBundle = 0;
    hResult = DecodeBase64Text(lpwszOperation, u"ParseP7bContentNode-UTF16ToUTF8",
                               u"ParseP7bContentNode-Base64DecodeEx", lpwszText, &pbBundle, &cbBundle);
    delete[] lpwszText;
    if (FAILED(hResult))
    {
        return hResult;
    }

    HCERTSTORE hBundleStore = nullptr;
    hResult = ImportP7bCertificatestoStore(pbBundle, &hBundleStore, cbBundle);
    delete[] pbBundle;
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ParseP7bContentNode-ImportP7bCertificatestoStore",
               u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    hResult = AddCACertficatetoStore(hBundleStore);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ParseP7bContentNode-AddCACertficatetoStore", u"FAILED(hResult)",
               hResult);
    CertCloseStore(hBundleStore, 0);
    return hResult;
}

HRESULT ImportP7bCertificatestoStore(const BYTE* pCertData, HCERTSTORE* phCertStore, DWORD dwCertDataSize)
{
    const LPCWSTR lpwszOperation = u"ImportP7bCertificatestoStore";
    TraceHelper trace(lpwszOperation);
    if (pCertData == NULL || dwCertDataSize <= 0 || !phCertStore)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.", u"pCertData == NULL||dwCertDataSize <=0",
                   E_INVALIDARG);
        return E_INVALIDARG;
    }

    CRYPT_DATA_BLOB blobBundle = {dwCertDataSize, const_cast<BYTE*>(pCertData)};
    HCERTSTORE hCertStore = CertOpenStore(CERT_STORE_PROV_PKCS7, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                          CERT_STORE_READONLY_FLAG, &blobBundle);
    if (hCertStore == NULL)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"AddCertificatetoStore-CertOpenStore", u"hCertStore == NULL",
                   hResult);
        return hResult;
    }
    *phCertStore = hCertStore;
    return S_OK;
}

HRESULT AddCACertficatetoStore(HCERTSTORE hBundleStore)
{
    const LPCWSTR lpwszOperation = u"AddCACertficatetoStore";
    TraceHelper trace(lpwszOperation);
    if (!hBundleStore)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.", u"hBundleStore == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }

    HCERTSTORE hCertStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                          CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA");
    if (hCertStore == NULL)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"AddCertificatetoStore-CertOpenSystemStoreW",
                   u"hCertStore == NULL", hResult);
        return hResult;
    }

    FILETIME ftNow = {};
    HRESULT hResult = GetMachineTime(&ftNow);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"GetMachineTime", u"FAILED(hResult)", hResult);

    PCCERT_CONTEXT pCert = nullptr;
    while (SUCCEEDED(hResult) && (pCert = CertEnumCertificatesInStore(hBundleStore, pCert)) != nullptr)
    {
        LPWSTR lpwszSubject = nullptr;
        DWORD cchSubject = 0;
        QueryCertContextInfo(&cchSubject, &lpwszSubject, pCert, CERT_QUERY_SUBJECT);
        QM_TRACE_INFO(lpwszSubject ? lpwszSubject : u"");
        delete[] lpwszSubject;

        BOOL bExpired = FALSE;
        HRESULT hrCheck = CheckCertValidTime(ftNow, &bExpired, pCert);
        if (SUCCEEDED(hrCheck) && bExpired)
        {
            QM_TRACE_INFO(u"expired, skipped");
            continue;
        }
        // The bundle carries the roots once more; they do not belong in "CA".
        if (IsSelfIssued(pCert))
        {
            QM_TRACE_INFO(u"self-issued, skipped");
            continue;
        }

        if (!CertAddCertificateContextToStore(hCertStore, pCert, CERT_STORE_ADD_NEW, nullptr))
        {
            if ((HRESULT)GetLastError() == CRYPT_E_EXISTS)
            {
                QM_TRACE_INFO(u"already in the store");
                continue;
            }
            hResult = HResultOfFailedCallKeepCustomer();
            CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"CertAddCertificateContextToStore", u"TRUE", hResult);
        }
    }

    if (pCert)
    {
        CertFreeCertificateContext(pCert);
    }
    CertCloseStore(hCertStore, 0);
    return hResult;
}
