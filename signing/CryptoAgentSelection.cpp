// The choice of the signing certificate: RSA certificates of "MY" and SM2 certificates held
// only in the key containers of the listed CSPs.
#include "CryptoAgent.h"

#include <cstring>

#include "CertificateChoice.h"
#include "CertificateFilter.h"
#include "HexEncoding.h"
#include "HResult.h"
#include "Trace.h"
#include "ContainerCertificates.h"

#define SOURCE_UNIT u"CryptoAgent"

namespace
{
const WCHAR s_wszName[] = u"CCryptoAgent::SelectCertificate";

bool IsPresent(BSTR bstr)
{
    return bstr && wcslen(bstr) != 0;
}

bool SameEncoding(PCCERT_CONTEXT a, PCCERT_CONTEXT b)
{
    return a->cbCertEncoded == b->cbCertEncoded && memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

} // namespace

HRESULT CCryptoAgent::SelectCertificate(BSTR bstrSubjectDNFilter, BSTR bstrIssuerDNFilter, BSTR bstrSNFilter,
                                        BSTR bstrCSPNameList, VARIANT_BOOL* pbChosen)
{
    TraceHelper trace(s_wszName);
    if (!pbChosen)
    {
        return m_hrLastResult = E_POINTER;
    }
    *pbChosen = VARIANT_FALSE;
    QM_TRACE_INFO(s_wszName, bstrSubjectDNFilter, bstrIssuerDNFilter, bstrSNFilter, bstrCSPNameList);

    // A failed selection must leave no certificate ready.
    ReleaseSignCertificate();

    CERT_FILTER_INFO filter = {};
    filter.lpwszSubjectDNFilter = bstrSubjectDNFilter;
    filter.lpwszIssuerDNFilter = bstrIssuerDNFilter;
    filter.lpwszCSPNameList = bstrCSPNameList;
    filter.dwKeyUsage = CERT_DIGITAL_SIGNATURE_KEY_USAGE;
    filter.nPrivateKeyRequired = 1;
    filter.lpszSignatureAlgOIDPrefix = SZOID_PREFIX_RSA;

    CertificateList vtrCertificateSet;
    UnregisteredCertificateList lstUnregistered;
    BYTE* pbSerial = nullptr;
    DWORD cbSerial = 0;
    PCCERT_CONTEXT pChosen = nullptr;
    HRESULT hResult = S_OK;

    do
    {
        if (IsPresent(bstrSNFilter))
        {
            hResult = ConvertStringToBinaryData(&cbSerial, bstrSNFilter, &pbSerial);
            if (FAILED(hResult))
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ConvertStringToBinaryData", u"FAILED(hResult)", hResult);
                break;
            }
            filter.pbSerialNumber = pbSerial;
            filter.cbSerialNumber = cbSerial;
        }

        hResult = FilterCertificatesfromLocalStore(&filter, vtrCertificateSet);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"FilterCertificatesfromLocalStore", u"FAILED(hResult)",
                              hResult);
            break;
        }

        if (IsPresent(bstrCSPNameList))
        {
            filter.lpszSignatureAlgOIDPrefix = SZOID_PREFIX_SM2;
            hResult = FilterUnregisteredCertificatesfromCSP(bstrCSPNameList, &filter, lstUnregistered);
            if (FAILED(hResult))
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"FilterUnregisteredCertificatesfromCSP",
                                  u"FAILED(hResult)", hResult);
                break;
            }
            for (UNREGISTERED_CERT_CONTEXT* pRecord : lstUnregistered)
            {
                PCCERT_CONTEXT pDuplicate = CertDuplicateCertificateContext(pRecord->pCertContext);
                if (pDuplicate)
                {
                    vtrCertificateSet.push_back(pDuplicate);
                }
            }
        }

        if (vtrCertificateSet.size() == 0)
        {
            hResult = E_NO_CERT_IN_STORE;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate count", u"vtrCertificateSet.size() == 0",
                              hResult);
            break;
        }

        hResult = ChooseSigningCertificate(vtrCertificateSet, &pChosen);
        if (FAILED(hResult))
        {
            pChosen = nullptr;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CustomCryptUIDlgSelectCertificate", u"FAILED(hResult)",
                              hResult);
            break;
        }

        DWORD cchSubject = 0;
        LPWSTR lpwszSubject = nullptr;
        hResult = QueryCertContextInfo(&cchSubject, &lpwszSubject, pChosen, CERT_QUERY_SUBJECT);
        if (FAILED(hResult))
        {
            delete[] lpwszSubject;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"QueryCertContextInfo", u"FAILED(hResult)", hResult);
            break;
        }
        QM_TRACE_INFO(s_wszName, lpwszSubject);
        delete[] lpwszSubject;

        if (CheckCertSignatureAlg(SZOID_PREFIX_SM2, pChosen) == S_OK)
        {
            m_dwKeyAlgorithm = SIGN_KEY_ALGORITHM_SM2;
            UNREGISTERED_CERT_CONTEXT* pFound = nullptr;
            for (UNREGISTERED_CERT_CONTEXT* pRecord : lstUnregistered)
            {
                if (SameEncoding(pRecord->pCertContext, pChosen))
                {
                    pFound = pRecord;
                    break;
                }
            }
            hResult = CertDuplicateUnregisteredCertContext(pFound, &m_pUnregisteredSignCertContext);
            if (FAILED(hResult))
            {
                m_pUnregisteredSignCertContext = nullptr;
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertDuplicateUnregisteredCertContext",
                                  u"FAILED(hResult)", hResult);
                break;
            }
        }
        else if (CheckCertSignatureAlg(SZOID_PREFIX_RSA, pChosen) == S_OK)
        {
            m_dwKeyAlgorithm = SIGN_KEY_ALGORITHM_RSA;
            m_pSignCertContext = pChosen;
            pChosen = nullptr;
        }
        else
        {
            hResult = E_INVALID_KEY_ALGORITHM;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate signature algorithm", u"TRUE", hResult);
            break;
        }

        *pbChosen = VARIANT_TRUE;
        hResult = S_OK;
    } while (false);

    if (pChosen)
    {
        CertFreeCertificateContext(pChosen);
    }
    RemoveAllCertificates(vtrCertificateSet);
    RemoveAllUnregisteredCertificates(lstUnregistered);
    delete[] pbSerial;
    m_hrLastResult = hResult;
    return hResult;
}
