#include "CryptoAgent.h"

#include <oleauto.h>
#include <wincrypt.h>

#include "CertificateListing.h"
#include "ContainerCertificates.h"
#include "EncryptCertImport.h"
#include "ErrorText.h"
#include "KeyPairGeneration.h"
#include "PersonalStoreEntries.h"
#include "SignCertImport.h"
#include "Trace.h"

#define SOURCE_UNIT u"..\\RaraRividiveda\\CryptoAgent"
#define ENROLLMENT_AGENT_VERSION u"3.2.0.2"

namespace
{
// Leading and trailing U+0020 removed; other white space stays.
std::u16string Trimmed(LPCWSTR lpwszText)
{
    std::u16string wstrText(lpwszText ? lpwszText : u"");
    size_t nFirst = wstrText.find_first_not_of(u' ');
    if (nFirst == std::u16string::npos)
    {
        return std::u16string();
    }
    size_t nLast = wstrText.find_last_not_of(u' ');
    return wstrText.substr(nFirst, nLast - nFirst + 1);
}

bool Contains(const std::u16string& wstrText, const char16_t* lpwszPart)
{
    return wstrText.find(lpwszPart) != std::u16string::npos;
}

// A copy in a new BSTR; E_OUTOFMEMORY when none can be made.
HRESULT CopyToBSTR(const char16_t* pwch, size_t cch, BSTR* pbstrOut)
{
    BSTR bstr = SysAllocStringLen(pwch, (UINT)cch);
    if (!bstr)
    {
        return E_OUTOFMEMORY;
    }
    *pbstrOut = bstr;
    return S_OK;
}
} // namespace

// The key length is 0 until the page sets it, so a request before that is refused by the CSP.
CCryptoAgent::CCryptoAgent() : m_hrLastResult(S_OK), m_lKeyLength(0), m_hrParkedResult(S_OK)
{
    TraceHelper trace(u"CCryptoAgent::CCryptoAgent");
}

CCryptoAgent::~CCryptoAgent()
{
    TraceHelper trace(u"CCryptoAgent::~CCryptoAgent");
}

HRESULT CCryptoAgent::Finish(HRESULT hResult)
{
    m_hrLastResult = hResult;
    return hResult;
}

HRESULT CCryptoAgent::Brevan_GetCSPInfo(BSTR* pbstrCSPList)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_GetCSPInfo";
    TraceHelper trace(s_wszName);
    LPWSTR lpwszAllCSPName = nullptr;
    HRESULT hResult = GetAllCSPName(&lpwszAllCSPName);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Brevan_GetCSPInfo-GetAllCSPName.", u"FAILED(hResult)", hResult);
        delete[] lpwszAllCSPName;
        return Finish(hResult);
    }
    if (lpwszAllCSPName)
    {
        hResult = CopyToBSTR(lpwszAllCSPName, std::char_traits<char16_t>::length(lpwszAllCSPName), pbstrCSPList);
        delete[] lpwszAllCSPName;
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SysAllocString", u"NULL == bstr", hResult);
            return Finish(hResult);
        }
    }
    else
    {
        *pbstrCSPList = nullptr;
    }
    return Finish(S_OK);
}

HRESULT CCryptoAgent::Brevan_SetCSPInfo(LONG lKeyLength, BSTR bstrCSPName, VARIANT_BOOL* pvbResult)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_SetCSPInfo";
    TraceHelper trace(s_wszName);
    if (bstrCSPName == nullptr)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.", u"bstrCSPName == NULL", E_INVALIDARG);
        return Finish(E_INVALIDARG);
    }
    std::u16string wstrCSPName = Trimmed(bstrCSPName);
    if (wstrCSPName.size() == 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CSP name cannot be NULL.", u"wstrCSPName.size() == 0",
                          E_INVALIDARG);
        return Finish(E_INVALIDARG);
    }
    if (Contains(wstrCSPName, u"Microsoft"))
    {
        if (!Contains(wstrCSPName, u"Base"))
        {
            if (lKeyLength != 512 && lKeyLength != 1024 && lKeyLength != 2048 && lKeyLength != 4096)
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"key length doesnot support(non-base).", u"TRUE",
                                  E_KEY_LENGTH_NOT_SUPPORTED);
                return Finish(E_KEY_LENGTH_NOT_SUPPORTED);
            }
        }
        else if (lKeyLength != 512 && lKeyLength != 1024)
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"key length doesnot support(base).", u"TRUE",
                              E_KEY_LENGTH_NOT_SUPPORTED);
            return Finish(E_KEY_LENGTH_NOT_SUPPORTED);
        }
    }
    size_t nAmp = wstrCSPName.find(u"&amp;");
    if (nAmp != std::u16string::npos)
    {
        wstrCSPName.replace(nAmp, 5, u"&");
    }
    m_lKeyLength = lKeyLength;
    m_wstrCSPName = wstrCSPName;
    *pvbResult = VARIANT_TRUE;
    TraceStepSucceeded(s_wszName, u"Set CSP information");
    return Finish(S_OK);
}

HRESULT CCryptoAgent::Brevan_SetKeyAlgorithm(BSTR bstrKeyAlgorithm, VARIANT_BOOL* pvbResult)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_SetKeyAlgorithm";
    TraceHelper trace(s_wszName);
    if (bstrKeyAlgorithm == nullptr)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.", u"bstrKeyAlgorithm == NULL", E_INVALIDARG);
        return Finish(E_INVALIDARG);
    }
    std::u16string wstrKeyAlgorithm(bstrKeyAlgorithm);
    if (wstrKeyAlgorithm.size() == 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"key algorithm cannot be null.", u"wstrKeyAlgorithm.size() == 0",
                          E_INVALIDARG);
        return Finish(E_INVALIDARG);
    }
    wstrKeyAlgorithm = Trimmed(wstrKeyAlgorithm.c_str());
    if (_wcsicmp(wstrKeyAlgorithm.c_str(), u"RSA") != 0 && _wcsicmp(wstrKeyAlgorithm.c_str(), u"SM2") != 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"key algorithm does not support.", u"TRUE",
                          E_INVALID_KEY_ALGORITHM);
        return Finish(E_INVALID_KEY_ALGORITHM);
    }
    m_wstrKeyAlgorithm = wstrKeyAlgorithm;
    *pvbResult = VARIANT_TRUE;
    return Finish(S_OK);
}

HRESULT CCryptoAgent::Brevan_GetContainer(BSTR* pbstrContainerName)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_GetContainer";
    TraceHelper trace(s_wszName);
    HRESULT hResult = CopyToBSTR(m_wstrContainerName.c_str(), m_wstrContainerName.size(), pbstrContainerName);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SysAllocString", u"NULL == bstr", hResult);
    }
    return Finish(hResult);
}

HRESULT CCryptoAgent::Brevan_ImportSignCert(LONG lCertType, BSTR bstrSignCert, BSTR bstrContainerName,
                                            VARIANT_BOOL* pvbResult)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_ImportSignCert";
    TraceHelper trace(s_wszName);
    if (bstrSignCert == nullptr)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.", u"bstrSignCert == NULL", E_INVALIDARG);
        return Finish(E_INVALIDARG);
    }
    if (bstrContainerName == nullptr)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.", u"bstrContainerName == NULL", E_INVALIDARG);
        return Finish(E_INVALIDARG);
    }
    std::u16string wstrSignCert = Trimmed(bstrSignCert);
    std::u16string wstrContainerName = Trimmed(bstrContainerName);

    DWORD dwKeySpec = 0;
    switch (lCertType)
    {
    case 1:
        dwKeySpec = AT_KEYEXCHANGE;
        break;
    case 2:
        dwKeySpec = AT_SIGNATURE;
        break;
    case 3:
        if (m_wstrFirstContainer.empty())
        {
            m_wstrFirstContainer = wstrContainerName;
            dwKeySpec = AT_KEYEXCHANGE;
        }
        else if (m_hrParkedResult == S_OK)
        {
            m_wstrSecondContainer = wstrContainerName;
            dwKeySpec = AT_SIGNATURE;
        }
        else
        {
            // The first half failed: no second import, both containers go.
            DeleteMultiCertContainer(m_wstrFirstContainer, wstrContainerName, m_wstrCSPName);
            m_wstrFirstContainer.clear();
            HRESULT hParked = m_hrParkedResult;
            m_hrParkedResult = S_OK;
            if (hParked > 0)
            {
                hParked = HResultFromWin32KeepCustomer((DWORD)hParked);
            }
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Import RSA single certificate", u"FAILED(hResult)", hParked);
            return Finish(hParked);
        }
        break;
    default:
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check lCertType", u"TRUE", E_INVALIDARG);
        return Finish(E_INVALIDARG);
    }

    HRESULT hResult = ImportSignCert(m_wstrKeyAlgorithm, wstrSignCert, dwKeySpec, m_wstrCSPName, wstrContainerName);
    if (lCertType == 3 && hResult != S_OK)
    {
        if (!m_wstrFirstContainer.empty() && m_wstrSecondContainer.empty())
        {
            // The first half's failure waits for the second call.
            m_hrParkedResult = hResult;
            TraceResult(hResult, u"ImportSignCert (first of the pair)");
            *pvbResult = VARIANT_TRUE;
            return Finish(S_OK);
        }
        DeleteMultiCertContainer(m_wstrFirstContainer, wstrContainerName, m_wstrCSPName);
        m_wstrFirstContainer.clear();
        m_wstrSecondContainer.clear();
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportSignCert", u"FAILED(hResult)", hResult);
        return Finish(hResult);
    }
    *pvbResult = VARIANT_TRUE;
    return Finish(S_OK);
}

HRESULT CCryptoAgent::Brevan_ImportEncryptCert(BSTR bstrEncryptedPrivateKey, BSTR bstrP7Cert, BSTR bstrContainerName,
                                               LONG lImportFlags, VARIANT_BOOL* pvbSuccess)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_ImportEncryptCert";
    TraceHelper trace(s_wszName);
    if (bstrEncryptedPrivateKey == NULL || bstrP7Cert == NULL || bstrContainerName == NULL ||
        0 == std::char_traits<char16_t>::length(bstrEncryptedPrivateKey) ||
        0 == std::char_traits<char16_t>::length(bstrP7Cert) ||
        0 == std::char_traits<char16_t>::length(bstrContainerName))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.",
                          u"bstrEncryptedPrivateKey == NULL || bstrP7Cert == NULL || bstrContainerName == NULL || 0 == "
                          u"wcslen(bstrEncryptedPrivateKey) || 0 == wcslen(bstrP7Cert) || 0 == "
                          u"wcslen(bstrContainerName)",
                          E_INVALIDARG);
        m_wstrFirstContainer.clear();
        m_wstrSecondContainer.clear();
        return Finish(E_INVALIDARG);
    }
    std::u16string wstrEncryptedPrivateKey = Trimmed(bstrEncryptedPrivateKey);
    std::u16string wstrP7Cert = Trimmed(bstrP7Cert);
    m_wstrContainerName = Trimmed(bstrContainerName);

    HRESULT hResult = ImportEncryptCertEx(wstrEncryptedPrivateKey, wstrP7Cert, m_wstrCSPName, m_wstrContainerName,
                                          m_wstrKeyAlgorithm, m_lKeyLength, lImportFlags);
    if (hResult != S_OK && !m_wstrFirstContainer.empty() && !m_wstrSecondContainer.empty())
    {
        DeleteMultiCertContainer(m_wstrFirstContainer, m_wstrSecondContainer, m_wstrCSPName);
    }
    m_wstrFirstContainer.clear();
    m_wstrSecondContainer.clear();
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportEncryptCertEx", u"FAILED(hResult)", hResult);
        return Finish(hResult);
    }
    *pvbSuccess = VARIANT_TRUE;
    return Finish(S_OK);
}

HRESULT CCryptoAgent::Brevan_PKCS10CertRequisition(BSTR bstrSubjectDN, LONG lCertType, LONG lGenFlags,
                                                   BSTR* pbstrRequest)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_PKCS10CertRequisition";
    TraceHelper trace(s_wszName);
    HRESULT hResult = S_OK;
    LPWSTR lpwszContainerName = nullptr;
    LPSTR lpszRequest = nullptr;
    do
    {
        BOOL bIsRSA = FALSE;
        if (_wcsicmp(m_wstrKeyAlgorithm.c_str(), u"RSA") == 0)
        {
            bIsRSA = TRUE;
        }
        else if (_wcsicmp(m_wstrKeyAlgorithm.c_str(), u"SM2") != 0)
        {
            hResult = E_INVALID_KEY_ALGORITHM;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid key algorithm.", u"TRUE", hResult);
            break;
        }
        DWORD dwKeySpec = lCertType == 1 ? AT_KEYEXCHANGE : AT_SIGNATURE;
        hResult = PKCS10CertRequisition(&lpwszContainerName, &lpszRequest, m_wstrCSPName.c_str(), bstrSubjectDN,
                                        lCertType, dwKeySpec, bIsRSA, m_lKeyLength, lGenFlags);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"PKCS10CertRequisition FAILED", u"FAILED(hResult)", hResult);
            delete[] lpszRequest;
            lpszRequest = nullptr;
            break;
        }
        m_wstrContainerName = lpwszContainerName ? lpwszContainerName : u"";
        hResult = S_OK;
    } while (false);
    delete[] lpwszContainerName;

    if (*pbstrRequest == nullptr)
    {
        std::u16string wstrRequest;
        if (lpszRequest && lpszRequest[0] != 0)
        {
            int cch = MultiByteToWideChar(CP_ACP, 0, lpszRequest, -1, nullptr, 0);
            if (cch > 0)
            {
                wstrRequest.resize((size_t)cch);
                MultiByteToWideChar(CP_ACP, 0, lpszRequest, -1, wstrRequest.data(), cch);
                wstrRequest.resize((size_t)cch - 1);
            }
        }
        HRESULT hCopy = CopyToBSTR(wstrRequest.c_str(), wstrRequest.size(), pbstrRequest);
        if (FAILED(hCopy) && SUCCEEDED(hResult))
        {
            hResult = hCopy;
        }
    }
    delete[] lpszRequest;
    return Finish(hResult);
}

HRESULT CCryptoAgent::Brevan_GetAllCertInfo(BSTR bstrCSPNameList, BSTR* pbstrRecords)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::Brevan_GetAllCertInfo";
    TraceHelper trace(s_wszName);
    std::u16string wstrRecords;
    HRESULT hResult = GetAllCertInfo(bstrCSPNameList, wstrRecords);
    if (FAILED(hResult))
    {
        return Finish(hResult);
    }
    hResult = CopyToBSTR(wstrRecords.c_str(), wstrRecords.size(), pbstrRecords);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SysAllocString", u"NULL == bstr", hResult);
    }
    return Finish(hResult);
}

HRESULT CCryptoAgent::Brevan_GetVersion(BSTR* pbstrVersion)
{
    TraceHelper trace(u"CCryptoAgent::Brevan_GetVersion");
    *pbstrVersion = SysAllocString(ENROLLMENT_AGENT_VERSION);
    return *pbstrVersion ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCryptoAgent::GetLastErrorDesc(BSTR* pbstrDescription)
{
    TraceHelper trace(u"CCryptoAgent::GetLastErrorDesc");
    return AllocErrorText(m_hrLastResult, pbstrDescription);
}

void CCryptoAgent::DeleteMultiCertContainer(std::u16string wstrFirstContainer, std::u16string wstrSecondContainer,
                                            std::u16string wstrCSPName)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::DeleteMultiCertContainer";
    TraceHelper trace(s_wszName);
    static const struct
    {
        bool bFirst;
        LPCWSTR lpwszStep;
    } s_rgSteps[] = {
        {true, u"CryptAcquireContext-DeleteKeySetRSA"},
        {false, u"CryptAcquireContext-DeleteKeySetSM2"},
    };
    for (const auto& step : s_rgSteps)
    {
        const std::u16string& wstrContainer = step.bFirst ? wstrFirstContainer : wstrSecondContainer;
        if (wstrContainer.empty())
        {
            continue;
        }
        HCRYPTPROV hCryptProv = 0;
        bool bGone = true;
        if (!CryptAcquireContextW(&hCryptProv, wstrContainer.c_str(), wstrCSPName.c_str(), PROV_RSA_FULL,
                                  CRYPT_DELETEKEYSET))
        {
            bGone = GetLastError() == (DWORD)NTE_BAD_KEYSET;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, step.lpwszStep, u"FALSE == bResult", HResultOfFailedCall());
        }
        else
        {
            TraceStepSucceeded(s_wszName, step.lpwszStep);
        }
        // A store certificate of the pair would point at a container that is gone.
        if (bGone)
        {
            RemoveStoreCertificatesOfContainer(wstrCSPName, wstrContainer);
        }
        if (hCryptProv)
        {
            CryptReleaseContext(hCryptProv, 0);
        }
    }
}
