#include "PersonalStoreEntries.h"

#include <vector>

#include "CertificateKeyMatch.h"
#include "CertificateListing.h"
#include "HResult.h"
#include "Trace.h"

#define SOURCE_UNIT u"ImportEncryptCert"

namespace
{
HRESULT OpenPersonalStore(LPCWSTR lpwszOperation, HCERTSTORE* phStore)
{
    *phStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    if (!*phStore)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CertOpenStore", u"hCertStore == NULL",
                          hResult);
        return hResult;
    }
    return S_OK;
}

// True when the certificate's key provider information names the container of the CSP.
bool IsLinkedTo(PCCERT_CONTEXT pCertContext, const std::u16string& wstrCSPName,
                const std::u16string& wstrContainerName)
{
    BYTE* pbInfo = nullptr;
    DWORD cbInfo = 0;
    if (FAILED(GetCertificateContextProperty(&cbInfo, pCertContext, &pbInfo)))
    {
        return false;
    }
    const auto* pInfo = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(pbInfo);
    bool bLinked = pInfo->pwszContainerName && pInfo->pwszProvName &&
                   wstrContainerName == pInfo->pwszContainerName &&
                   wstrCSPName == pInfo->pwszProvName;
    delete[] pbInfo;
    return bLinked;
}
} // namespace

CPersonalStoreEntry::~CPersonalStoreEntry()
{
    if (m_pCertContext)
    {
        CertFreeCertificateContext(m_pCertContext);
    }
    if (m_hSaved)
    {
        CertCloseStore(m_hSaved, 0);
    }
}

HRESULT CPersonalStoreEntry::Save(const BYTE* pbCert, DWORD cbCert)
{
    static const WCHAR s_wszName[] = u"CPersonalStoreEntry::Save";
    HRESULT hResult = DecodeCertificateBytes(s_wszName, pbCert, cbCert, &m_pCertContext);
    if (FAILED(hResult))
    {
        return hResult;
    }
    HCERTSTORE hStore = nullptr;
    hResult = OpenPersonalStore(s_wszName, &hStore);
    if (FAILED(hResult))
    {
        return hResult;
    }
    PCCERT_CONTEXT pExisting =
        CertFindCertificateInStore(hStore, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                   CERT_FIND_EXISTING, m_pCertContext, nullptr);
    if (pExisting)
    {
        m_hSaved = CertOpenStore(CERT_STORE_PROV_MEMORY, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                 0, nullptr);
        if (!m_hSaved ||
            !CertAddCertificateContextToStore(m_hSaved, pExisting, CERT_STORE_ADD_ALWAYS, nullptr))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertAddCertificateContextToStore",
                              u"FALSE == bResult", hResult);
        }
        CertFreeCertificateContext(pExisting);
    }
    CertCloseStore(hStore, 0);
    return hResult;
}

HRESULT CPersonalStoreEntry::Restore()
{
    static const WCHAR s_wszName[] = u"CPersonalStoreEntry::Restore";
    if (!m_pCertContext)
    {
        return S_OK;
    }
    HCERTSTORE hStore = nullptr;
    HRESULT hResult = OpenPersonalStore(s_wszName, &hStore);
    if (FAILED(hResult))
    {
        return hResult;
    }
    if (m_hSaved)
    {
        PCCERT_CONTEXT pSaved = CertEnumCertificatesInStore(m_hSaved, nullptr);
        if (!pSaved || !CertAddCertificateContextToStore(hStore, pSaved,
                                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertAddCertificateContextToStore",
                              u"FALSE == bResult", hResult);
        }
        if (pSaved)
        {
            CertFreeCertificateContext(pSaved);
        }
    }
    else if (PCCERT_CONTEXT pAdded =
                 CertFindCertificateInStore(hStore, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                            CERT_FIND_EXISTING, m_pCertContext, nullptr))
    {
        if (!CertDeleteCertificateFromStore(pAdded))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertDeleteCertificateFromStore",
                              u"FALSE == bResult", hResult);
        }
    }
    CertCloseStore(hStore, 0);
    return hResult;
}

HRESULT RemoveStoreCertificatesOfContainer(const std::u16string& wstrCSPName,
                                           const std::u16string& wstrContainerName)
{
    static const WCHAR s_wszName[] = u"RemoveStoreCertificatesOfContainer";
    TraceHelper trace(s_wszName);
    HCERTSTORE hStore = nullptr;
    HRESULT hResult = OpenPersonalStore(s_wszName, &hStore);
    if (FAILED(hResult))
    {
        return hResult;
    }
    // Collected first: deleting while enumerating would end the enumeration.
    std::vector<PCCERT_CONTEXT> vtrLinked;
    for (PCCERT_CONTEXT pCertContext = nullptr;
         (pCertContext = CertEnumCertificatesInStore(hStore, pCertContext));)
    {
        if (IsLinkedTo(pCertContext, wstrCSPName, wstrContainerName))
        {
            vtrLinked.push_back(CertDuplicateCertificateContext(pCertContext));
        }
    }
    for (PCCERT_CONTEXT pCertContext : vtrLinked)
    {
        if (!CertDeleteCertificateFromStore(pCertContext) && SUCCEEDED(hResult))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertDeleteCertificateFromStore",
                              u"FALSE == bResult", hResult);
        }
    }
    CertCloseStore(hStore, 0);
    return hResult;
}
