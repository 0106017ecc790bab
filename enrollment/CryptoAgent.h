// The enrollment agent behind the script object: the page's choices between calls, the
// container of the last request, and the operations of the script interface.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

#include "HResult.h"

#define E_KEY_LENGTH_NOT_SUPPORTED MAKE_OWN_HRESULT(0x2400)
#define E_INVALID_KEY_ALGORITHM MAKE_OWN_HRESULT(0x2401)

class CCryptoAgent
{
public:
    CCryptoAgent();
    ~CCryptoAgent();

    CCryptoAgent(const CCryptoAgent&) = delete;
    CCryptoAgent& operator=(const CCryptoAgent&) = delete;

    // Out strings are BSTRs the caller frees with SysFreeString.
    virtual HRESULT Brevan_GetCSPInfo(BSTR* pbstrCSPList);
    virtual HRESULT Brevan_SetCSPInfo(LONG lKeyLength, BSTR bstrCSPName, VARIANT_BOOL* pvbResult);
    virtual HRESULT Brevan_SetKeyAlgorithm(BSTR bstrKeyAlgorithm, VARIANT_BOOL* pvbResult);
    virtual HRESULT Brevan_GetContainer(BSTR* pbstrContainerName);
    virtual HRESULT Brevan_ImportSignCert(LONG lCertType, BSTR bstrSignCert, BSTR bstrContainerName,
                                          VARIANT_BOOL* pvbResult);
    virtual HRESULT Brevan_ImportEncryptCert(BSTR bstrEncryptedPrivateKey, BSTR bstrP7Cert, BSTR bstrContainerName,
                                             LONG lImportFlags, VARIANT_BOOL* pvbSuccess);
    virtual HRESULT Brevan_PKCS10CertRequisition(BSTR bstrSubjectDN, LONG lCertType, LONG lGenFlags,
                                                 BSTR* pbstrRequest);
    virtual HRESULT Brevan_GetAllCertInfo(BSTR bstrCSPNameList, BSTR* pbstrRecords);
    virtual HRESULT Brevan_GetVersion(BSTR* pbstrVersion);
    // Text of the agent's last result.
    virtual HRESULT GetLastErrorDesc(BSTR* pbstrDescription);

private:
    HRESULT Finish(HRESULT hResult);
    // Deletes the containers of a certificate-type-3 pair; failures are traced only.
    static void DeleteMultiCertContainer(std::u16string wstrFirstContainer, std::u16string wstrSecondContainer,
                                         std::u16string wstrCSPName);

    HRESULT m_hrLastResult;
    std::u16string m_wstrKeyAlgorithm;
    std::u16string m_wstrCSPName;
    LONG m_lKeyLength;
    std::u16string m_wstrContainerName;
    std::u16string m_wstrFirstContainer;
    std::u16string m_wstrSecondContainer;
    HRESULT m_hrParkedResult;
};
