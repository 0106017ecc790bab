#include "CertificateChainDelete.h"

#include "ChainTrace.h"
#include "DiscardTables.h"
#include "HexEncoding.h"
#include "ResourceRegistry.h"

namespace
{
HRESULT DeleteDiscardRows(const DISCARD_CERT_ROW* rgRows, DWORD cRows)
{
    for (DWORD i = 0; i < cRows; ++i)
    {
        const DISCARD_CERT_ROW& row = rgRows[i];
        HRESULT hResult = row.eKind == DISCARD_ROOT
                              ? DeleteTrustedRootCert(row.lpwszFirst, row.lpwszSecond, row.lpwszThird, row.lpwszFirst)
                              : DeleteIntermediateCert(row.lpwszFirst, row.lpwszSecond, row.lpwszThird);
        QM_TRACE_INFO(i, hResult);
    }
    return S_OK;
}

// Removes the row's certificate (subject, issuer and serial number; every other criterion
// off) from the machine's "CA" store, traced with the caller's step, and when asked and that
// worked, from the current user's. Only a serial text that is no hex fails.
HRESULT DeleteRowFromStores(LPCWSTR lpwszOperation, LPCWSTR lpwszIssuerDN, LPCWSTR lpwszSerialNumber,
                            LPCWSTR lpwszSubjectDN, LPCWSTR lpwszMachineStep, bool bCurrentUserToo)
{
    BYTE* pbSerial = nullptr;
    DWORD cbSerial = 0;
    HRESULT hResult = ConvertStringToBinaryData(&cbSerial, lpwszSerialNumber, &pbSerial);
    if (FAILED(hResult))
    {
        CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"ConvertStringToBinaryData", u"FAILED(hResult)", hResult);
        return hResult;
    }
    CERT_FILTER_INFO filter = {};
    filter.lpwszSubjectDNFilter = lpwszSubjectDN;
    filter.lpwszIssuerDNFilter = lpwszIssuerDN;
    filter.pbSerialNumber = pbSerial;
    filter.cbSerialNumber = cbSerial;

    hResult = DeleteCertificateFromStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, &filter);
    CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, lpwszMachineStep, u"FAILED(hResult)", hResult);
    if (bCurrentUserToo && SUCCEEDED(hResult))
    {
        hResult = DeleteCertificateFromStore(CERT_SYSTEM_STORE_CURRENT_USER, &filter);
        CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"DeleteCertificateFromStore(CurrentUser)",
                   u"FAILED(hResult)", hResult);
    }
    delete[] pbSerial;
    return S_OK;
}
} // namespace

HRESULT DeleteRSADiscardCert()
{
    TraceHelper trace(u"DeleteRSADiscardCert");
    return DeleteDiscardRows(g_rgRSADiscardCerts, g_cRSADiscardCerts);
}

HRESULT DeleteSM2DiscardCert()
{
    TraceHelper trace(u"DeleteSM2DiscardCert");
    return DeleteDiscardRows(g_rgSM2DiscardCerts, g_cSM2DiscardCerts);
}

HRESULT DeleteIntermediateCert(LPCWSTR lpwszIssuerDN, LPCWSTR lpwszSerialNumber, LPCWSTR lpwszSubjectDN)
{
    const LPCWSTR lpwszOperation = u"DeleteIntermediateCert";
    TraceHelper trace(lpwszOperation);
    return DeleteRowFromStores(lpwszOperation, lpwszIssuerDN, lpwszSerialNumber, lpwszSubjectDN,
                               u"DeleteCertificateFromStore(LocalMachine)", true);
}

HRESULT DeleteTrustedRootCert(LPCWSTR lpwszIssuerDN, LPCWSTR lpwszThumbprint, LPCWSTR lpwszSerialNumber,
                              LPCWSTR lpwszSubjectDN)
{
    const LPCWSTR lpwszOperation = u"DeleteTrustedRootCert";
    TraceHelper trace(lpwszOperation);
    HRESULT hResult = DeleteRowFromStores(lpwszOperation, lpwszIssuerDN, lpwszSerialNumber, lpwszSubjectDN,
                                          u"DeleteCertificateFromStore(LocalMachine-CA)", false);
    if (FAILED(hResult))
    {
        return hResult;
    }

    // The machine's trusted roots live in the registry; a user's own copy is left alone.
    hResult = DeleteRegistryKey(lpwszThumbprint);
    CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"DeleteRegistryKey", u"FAILED(hResult)", hResult);
    return S_OK;
}

HRESULT DeleteCertificateFromStore(DWORD dwFlag, const CERT_FILTER_INFO* pFilter)
{
    const LPCWSTR lpwszOperation = u"DeleteCertificateFromStore";
    TraceHelper trace(lpwszOperation);

    if (CERT_SYSTEM_STORE_LOCAL_MACHINE != dwFlag && CERT_SYSTEM_STORE_CURRENT_USER != dwFlag)
    {
        CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"Check Parameters(dwFlag)",
                   u"(CERT_SYSTEM_STORE_LOCAL_MACHINE != dwFlag && CERT_SYSTEM_STORE_CURRENT_USER != dwFlag)",
                   E_INVALIDARG);
        return E_INVALIDARG;
    }
    QM_TRACE_INFO(CERT_SYSTEM_STORE_LOCAL_MACHINE == dwFlag ? u"LocalMachine" : u"CurrentUser");

    HCERTSTORE hCertStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                          dwFlag, u"CA");
    if (!hCertStore)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"CertOpenStore", u"hCertStore == NULL", hResult);
        return hResult;
    }

    CertificateList lstStoreCerts;
    CertificateList lstMatches;
    HRESULT hResult = ExtractCertificatesFromStore(hCertStore, lstStoreCerts);
    if (FAILED(hResult))
    {
        CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"ExtractCertificatesFromStore", u"FAILED(hResult)", hResult);
    }
    else
    {
        hResult = FilterCertificates(pFilter, lstStoreCerts, lstMatches);
        if (FAILED(hResult))
        {
            CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"FilterCertificates", u"FAILED(hResult)", hResult);
        }
    }

    if (SUCCEEDED(hResult))
    {
        for (PCCERT_CONTEXT pMatch : lstMatches)
        {
            PCCERT_CONTEXT pDuplicate = CertDuplicateCertificateContext(pMatch);
            if (!pDuplicate)
            {
                CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"CertDuplicateCertificateContext",
                           u"pDuplicate == NULL", HResultOfFailedCallKeepCustomer());
                continue;
            }
            // The delete consumes the duplicate whether or not it succeeds.
            if (!CertDeleteCertificateFromStore(pDuplicate))
            {
                CHAIN_STEP(CHAIN_DELETE_UNIT, lpwszOperation, u"CertDeleteCertificateFromStore", u"!bResult",
                           HResultOfFailedCallKeepCustomer());
            }
        }
        // Single deletions that failed do not change the result.
        hResult = S_OK;
    }

    RemoveAllCertificates(lstMatches);
    RemoveAllCertificates(lstStoreCerts);
    CertCloseStore(hCertStore, 0);
    return hResult;
}
