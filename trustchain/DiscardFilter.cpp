#include "DiscardFilter.h"

#include <shlwapi.h>

#include "HResult.h"
#include "Trace.h"

namespace ChainFilter
{
namespace
{
// A fragment is cut to its first 255 characters.
const size_t MAX_FRAGMENT_CCH = 255;

std::vector<std::u16string> ParseFilters(LPCWSTR lpwszText)
{
    std::vector<std::u16string> vecFragments;
    if (!lpwszText)
    {
        return vecFragments;
    }
    std::u16string wstrText = lpwszText;
    size_t nStart = 0;
    for (;;)
    {
        size_t nEnd = wstrText.find(u'#', nStart);
        std::u16string wstrFragment = wstrText.substr(nStart, nEnd == std::u16string::npos ? nEnd : nEnd - nStart);
        vecFragments.push_back(wstrFragment.substr(0, MAX_FRAGMENT_CCH));
        if (nEnd == std::u16string::npos)
        {
            break;
        }
        nStart = nEnd + 1;
    }
    return vecFragments;
}

std::u16string NameText(PCERT_NAME_BLOB pName)
{
    const DWORD dwStrType = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_NO_QUOTING_FLAG;
    DWORD cch = CertNameToStrW(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, pName, dwStrType, nullptr, 0);
    if (cch <= 1)
    {
        return u"";
    }
    std::u16string wstrText(cch, u'\0');
    CertNameToStrW(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, pName, dwStrType, wstrText.data(), cch);
    wstrText.resize(cch - 1);
    return wstrText;
}

// Passes when there are no fragments, one is empty, or one is found in the text.
bool MatchesAnyFragment(const std::vector<std::u16string>& vecFragments, const std::u16string& wstrText)
{
    if (vecFragments.empty())
    {
        return true;
    }
    for (const std::u16string& wstrFragment : vecFragments)
    {
        if (wstrFragment.empty() || StrStrIW(wstrText.c_str(), wstrFragment.c_str()))
        {
            return true;
        }
    }
    return false;
}

bool MatchesSerialNumber(const CERT_FILTER_INFO* pFilter, const CRYPT_INTEGER_BLOB& serial)
{
    if (!pFilter->pbSerialNumber)
    {
        return true;
    }
    for (DWORD i = 0; i < serial.cbData; ++i)
    {
        BYTE bFilter = i < pFilter->cbSerialNumber ? pFilter->pbSerialNumber[i] : 0;
        if (serial.pbData[i] != bFilter)
        {
            return false;
        }
    }
    return true;
}
} // namespace

HRESULT ExtractCertificatesFromStore(HCERTSTORE hCertStore, CERT_LIST& lstCerts)
{
    TraceHelper trace(u"ExtractCertificatesFromStore");
    if (!hCertStore)
    {
        RemoveAllCertificates(lstCerts);
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }
    PCCERT_CONTEXT pCert = nullptr;
    while ((pCert = CertEnumCertificatesInStore(hCertStore, pCert)) != nullptr)
    {
        PCCERT_CONTEXT pDuplicate = CertDuplicateCertificateContext(pCert);
        if (!pDuplicate)
        {
            HRESULT hResult = HResultOfFailedCall();
            CertFreeCertificateContext(pCert);
            RemoveAllCertificates(lstCerts);
            TraceResult(hResult, u"CertDuplicateCertificateContext");
            return hResult;
        }
        lstCerts.push_back(pDuplicate);
    }
    return S_OK;
}

HRESULT FilterCertificates(const CERT_FILTER_INFO* pFilter, const CERT_LIST& lstCandidates, CERT_LIST& lstResult)
{
    TraceHelper trace(u"FilterCertificates");
    std::vector<std::u16string> vecSubjects = ParseFilters(pFilter ? pFilter->lpwszSubjectDN : nullptr);
    std::vector<std::u16string> vecIssuers = ParseFilters(pFilter ? pFilter->lpwszIssuerDN : nullptr);
    for (PCCERT_CONTEXT pCert : lstCandidates)
    {
        if (pFilter)
        {
            std::u16string wstrSubject = NameText(&pCert->pCertInfo->Subject);
            if (!MatchesAnyFragment(vecSubjects, wstrSubject))
            {
                QM_TRACE_INFO(wstrSubject.c_str());
                continue;
            }
            std::u16string wstrIssuer = NameText(&pCert->pCertInfo->Issuer);
            if (!MatchesAnyFragment(vecIssuers, wstrIssuer))
            {
                QM_TRACE_INFO(wstrIssuer.c_str());
                continue;
            }
            if (!MatchesSerialNumber(pFilter, pCert->pCertInfo->SerialNumber))
            {
                QM_TRACE(TRACE_FLAG_FAILURE, wstrSubject.c_str());
                continue;
            }
        }
        PCCERT_CONTEXT pDuplicate = CertDuplicateCertificateContext(pCert);
        if (!pDuplicate)
        {
            HRESULT hResult = HResultOfFailedCall();
            RemoveAllCertificates(lstResult);
            TraceResult(hResult, u"CertDuplicateCertificateContext");
            return hResult;
        }
        lstResult.push_back(pDuplicate);
    }
    return S_OK;
}

void RemoveAllCertificates(CERT_LIST& lstCerts)
{
    for (PCCERT_CONTEXT pCert : lstCerts)
    {
        if (pCert)
        {
            CertFreeCertificateContext(pCert);
        }
    }
    lstCerts.clear();
}
} // namespace ChainFilter
