#include "CertificateListing.h"

#include <cstdio>

#include "CertImportHelpers.h"
#include "CertificateFilter.h"
#include "EnrollmentForms.h"
#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define AGENT_UNIT u"..\\RaraRividiveda\\CryptoAgent"
#define CHAIN_UNIT u"CertificateChainOperate"
#define RSA_SIGNATURE_OID_PREFIX "1.2.840.113549"
#define SM2_SIGNATURE_OID_PREFIX "1.2.156.10197"

namespace
{
// Subject, serial and the two dates of one certificate, each followed by ";".
HRESULT AppendCommonFields(LPCWSTR lpwszName, PCCERT_CONTEXT pCert, std::u16string& wstrRecord)
{
    LPWSTR lpwszSubject = nullptr;
    DWORD cchSubject = 0;
    HRESULT hResult = QueryCertContextInfo(&cchSubject, &lpwszSubject, pCert, CERT_QUERY_SUBJECT);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, lpwszName, u"QueryCertContextInfo(QUERYID_SUBJECT_FULL)", u"FAILED(hResult)",
                          hResult);
        delete[] lpwszSubject;
        return hResult;
    }
    if (lpwszSubject)
    {
        wstrRecord += lpwszSubject;
    }
    delete[] lpwszSubject;
    wstrRecord += u";";

    BYTE* pbSerial = nullptr;
    DWORD cbSerial = 0;
    hResult = QueryCertContextInfo(&cbSerial, &pbSerial, pCert, CERT_QUERY_SERIAL_NUMBER);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, lpwszName, u"QueryCertContextInfo(QUERYID_SERIALNUMBER)", u"FAILED(hResult)",
                          hResult);
        delete[] pbSerial;
        return hResult;
    }
    LPWSTR lpwszSerial = nullptr;
    hResult = ConvertBinaryDataToString(&lpwszSerial, cbSerial, pbSerial);
    delete[] pbSerial;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, lpwszName, u"FormatStringFromData", u"FAILED(hResult)", hResult);
        delete[] lpwszSerial;
        return hResult;
    }
    if (lpwszSerial)
    {
        wstrRecord += lpwszSerial;
    }
    delete[] lpwszSerial;
    wstrRecord += u";";

    static const struct
    {
        DWORD dwQuery;
        LPCWSTR lpwszStep;
    } s_rgDates[] = {
        {CERT_QUERY_NOT_BEFORE, u"QueryCertContextInfo(QUERYID_FROMDATE)"},
        {CERT_QUERY_NOT_AFTER, u"QueryCertContextInfo(QUERYID_TODATE)"},
    };
    for (const auto& date : s_rgDates)
    {
        SYSTEMTIME stTime = {};
        DWORD cbTime = sizeof(stTime);
        hResult = QueryCertContextInfo(&cbTime, &stTime, pCert, date.dwQuery);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(CHAIN_UNIT, lpwszName, date.lpwszStep, u"FAILED(hResult)", hResult);
            return hResult;
        }
        ConvertUTCtimetoLocalTime(&stTime);
        std::u16string wstrTime;
        hResult = GetTimeString(wstrTime, &stTime);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(CHAIN_UNIT, lpwszName, u"GetTimeString", u"FAILED(hResult)", hResult);
            return hResult;
        }
        wstrRecord += wstrTime;
        wstrRecord += u";";
    }
    return S_OK;
}
} // namespace

HRESULT GetAllCertInfo(LPCWSTR lpwszCSPNameList, std::u16string& wstrRecords)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_GetAllCertInfo";
    HRESULT hResult = S_OK;
    CERT_FILTER_INFO stFilter = {};
    stFilter.lpwszCSPNameList = lpwszCSPNameList;
    stFilter.lpszSignatureAlgOIDPrefix = RSA_SIGNATURE_OID_PREFIX;
    CertificateList lstStoreCerts;
    UnregisteredCertificateList lstContainerCerts;
    HCERTSTORE hCertStore = nullptr;
    std::u16string wstrStoreRecords, wstrContainerRecords;
    do
    {
        hResult = FilterCertificatesfromLocalStore(&stFilter, lstStoreCerts);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"FilterCertificates", u"FAILED(hResult)", hResult);
            break;
        }
        hCertStore =
            CertOpenStore(CERT_STORE_PROV_MEMORY, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, 0, nullptr);
        if (!hCertStore)
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"CertOpenStore", u"hCertStore == NULL", hResult);
            break;
        }
        for (PCCERT_CONTEXT pCert : lstStoreCerts)
        {
            if (!CertAddCertificateContextToStore(hCertStore, pCert, CERT_STORE_ADD_USE_EXISTING, nullptr))
            {
                hResult = HResultOfFailedCallKeepCustomer();
                TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"CertAddCertificateContextToStore", u"bResult == FALSE",
                                  hResult);
                break;
            }
        }
        if (FAILED(hResult))
        {
            break;
        }
        hResult = GetAllCertificatesInfoinStore(wstrStoreRecords, hCertStore);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"GetAllCertificatesInfoinStore", u"FAILED(hResult)", hResult);
            break;
        }
        if (lpwszCSPNameList && lpwszCSPNameList[0] != 0)
        {
            stFilter.lpszSignatureAlgOIDPrefix = SM2_SIGNATURE_OID_PREFIX;
            hResult = FilterUnregisteredCertificatesfromCSP(lpwszCSPNameList, &stFilter, lstContainerCerts);
            if (FAILED(hResult))
            {
                TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"FilterUnregisteredCertificatesfromCSP", u"FAILED(hResult)",
                                  hResult);
                break;
            }
            if (!lstContainerCerts.empty())
            {
                hResult = GetAllCertificatesInfoUnregisteredCertSet(lstContainerCerts, wstrContainerRecords);
                if (FAILED(hResult))
                {
                    TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"GetAllCertificatesInfoinStore.", u"FAILED(hResult)",
                                      hResult);
                    break;
                }
            }
        }
        wstrRecords = wstrStoreRecords;
        if (!wstrStoreRecords.empty() && !wstrContainerRecords.empty())
        {
            wstrRecords += u"||";
        }
        wstrRecords += wstrContainerRecords;
        hResult = S_OK;
    } while (false);
    RemoveAllCertificates(lstStoreCerts);
    RemoveAllUnregisteredCertificates(lstContainerCerts);
    if (hCertStore)
    {
        CertCloseStore(hCertStore, 0);
    }
    return hResult;
}

HRESULT GetAllCertificatesInfoinStore(std::u16string& wstrRecords, HCERTSTORE hCertStore)
{
    static const WCHAR s_wszName[] = u"GetAllCertificatesInfoinStore";
    TraceHelper trace(s_wszName);
    if (!hCertStore)
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"Check parameter", u"hCertStore == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }
    PCCERT_CONTEXT pCert = nullptr;
    bool bAppended = false;
    while ((pCert = CertEnumCertificatesInStore(hCertStore, pCert)) != nullptr)
    {
        std::u16string wstrRecord;
        HRESULT hResult = GetCertificateInfo(wstrRecord, pCert);
        if (hResult == CRYPT_E_NOT_FOUND)
        {
            continue;
        }
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"GetCertificateInfo", u"FAILED(hResult)", hResult);
            CertFreeCertificateContext(pCert);
            return hResult;
        }
        if (bAppended)
        {
            wstrRecords += u"||";
        }
        wstrRecords += wstrRecord;
        bAppended = true;
    }
    return S_OK;
}

HRESULT GetCertificateInfo(std::u16string& wstrRecord, PCCERT_CONTEXT pstCertContext)
{
    static const WCHAR s_wszName[] = u"GetCertificateInfo";
    TraceHelper trace(s_wszName);
    if (!pstCertContext)
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"Check parameter", u"pstCertContext == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }
    std::u16string wstrText;
    HRESULT hResult = AppendCommonFields(s_wszName, pstCertContext, wstrText);
    if (FAILED(hResult))
    {
        return hResult;
    }
    BYTE* pbProvInfo = nullptr;
    DWORD cbProvInfo = 0;
    hResult = GetCertificateContextProperty(&cbProvInfo, pstCertContext, &pbProvInfo);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"GetCertificateContextProperty(CERT_KEY_PROV_INFO_PROP_ID)",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    const CRYPT_KEY_PROV_INFO* pstKeyProvInfo = (const CRYPT_KEY_PROV_INFO*)pbProvInfo;
    if (cbProvInfo < sizeof(CRYPT_KEY_PROV_INFO) || NULL == pstKeyProvInfo->pwszProvName)
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"Check provider name", u"NULL == pstKeyProvInfo->pwszProvName",
                          CRYPT_E_NOT_FOUND);
        delete[] pbProvInfo;
        return CRYPT_E_NOT_FOUND;
    }
    wstrText += pstKeyProvInfo->pwszProvName;
    delete[] pbProvInfo;
    wstrRecord = wstrText;
    return S_OK;
}

HRESULT GetAllCertificatesInfoUnregisteredCertSet(UnregisteredCertificateList vtrUnregisteredCertSet,
                                                  std::u16string& wstrRecords)
{
    static const WCHAR s_wszName[] = u"GetAllCertificatesInfoUnregisteredCertSet";
    TraceHelper trace(s_wszName);
    if (vtrUnregisteredCertSet.size() == 0)
    {
        TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"Check parameter", u"vtrUnregisteredCertSet.size() == 0",
                          E_INVALIDARG);
        return E_INVALIDARG;
    }
    bool bAppended = false;
    for (const UNREGISTERED_CERT_CONTEXT* pEntry : vtrUnregisteredCertSet)
    {
        std::u16string wstrRecord;
        HRESULT hResult = GetCertificateInfoUnregisteredCert(wstrRecord, pEntry);
        if (hResult == CRYPT_E_NOT_FOUND)
        {
            continue;
        }
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"GetCertificateInfoUnregisteredCert", u"FAILED(hResult)",
                              hResult);
            return hResult;
        }
        if (bAppended)
        {
            wstrRecords += u"||";
        }
        wstrRecords += wstrRecord;
        bAppended = true;
    }
    return S_OK;
}

HRESULT GetCertificateInfoUnregisteredCert(std::u16string& wstrRecord,
                                           const UNREGISTERED_CERT_CONTEXT* pstUnregisteredCertContext)
{
    static const WCHAR s_wszName[] = u"GetCertificateInfoUnregisteredCert";
    TraceHelper trace(s_wszName);
    if (!pstUnregisteredCertContext || !pstUnregisteredCertContext->pCertContext)
    {
        TRACE_STEP_FAILED(AGENT_UNIT, s_wszName, u"Check parameter", u"pstUnregisteredCertContext == NULL",
                          E_INVALIDARG);
        return E_INVALIDARG;
    }
    std::u16string wstrText;
    HRESULT hResult = AppendCommonFields(s_wszName, pstUnregisteredCertContext->pCertContext, wstrText);
    if (FAILED(hResult))
    {
        return hResult;
    }
    wstrText += pstUnregisteredCertContext->wszProviderName;
    wstrRecord = wstrText;
    return S_OK;
}

HRESULT GetCertificateContextProperty(DWORD* pcbData, PCCERT_CONTEXT pstCertContext, BYTE** ppbData)
{
    static const WCHAR s_wszName[] = u"GetCertificateContextProperty";
    TraceHelper trace(s_wszName);
    DWORD cbData = 0;
    if (!CertGetCertificateContextProperty(pstCertContext, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &cbData))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"CertGetCertificateContextProperty(Get Size)", u"!bResult", hResult);
        return hResult;
    }
    BYTE* pbData = NewZeroedArray<BYTE>(cbData);
    if (!pbData)
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"new memory", u"new memory.\n", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    if (!CertGetCertificateContextProperty(pstCertContext, CERT_KEY_PROV_INFO_PROP_ID, pbData, &cbData))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"CertGetCertificateContextProperty(Get Value)", u"!bResult",
                          hResult);
        delete[] pbData;
        return hResult;
    }
    *pcbData = cbData;
    *ppbData = pbData;
    return S_OK;
}

HRESULT GetTimeString(std::u16string& wstrTime, const SYSTEMTIME* pstSysTime)
{
    if (!pstSysTime)
    {
        TRACE_STEP_FAILED(CHAIN_UNIT, u"GetTimeString", u"Check parameter", u"pstSysTime == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }
    char szTime[64];
    snprintf(szTime, sizeof(szTime), "%04d-%02d-%02d %02d:%02d:%02d", pstSysTime->wYear, pstSysTime->wMonth,
             pstSysTime->wDay, pstSysTime->wHour, pstSysTime->wMinute, pstSysTime->wSecond);
    wstrTime.assign(szTime, szTime + strlen(szTime));
    return S_OK;
}

HRESULT ConvertUTCtimetoLocalTime(SYSTEMTIME* pstSysTime)
{
    static const WCHAR s_wszName[] = u"ConvertUTCtimetoLocalTime";
    FILETIME ftUTC = {}, ftLocal = {};
    if (!SystemTimeToFileTime(pstSysTime, &ftUTC))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"SystemTimeToFileTime.", u"FALSE == bResult", hResult);
        return hResult;
    }
    if (!FileTimeToLocalFileTime(&ftUTC, &ftLocal))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"FileTimeToLocalFileTime.", u"FALSE == bResult", hResult);
        return hResult;
    }
    SYSTEMTIME stLocal = {};
    if (!FileTimeToSystemTime(&ftLocal, &stLocal))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(CHAIN_UNIT, s_wszName, u"FileTimeToSystemTime.", u"FALSE == bResult", hResult);
        return hResult;
    }
    *pstSysTime = stLocal;
    return S_OK;
}
