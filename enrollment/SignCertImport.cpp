#include "SignCertImport.h"

#include <wincrypt.h>

#include "CertImportHelpers.h"
#include "CertificateKeyMatch.h"
#include "Misc.h"
#include "Trace.h"

#define SOURCE_UNIT u"ImportEncryptCert"

HRESULT ImportSignCert(const std::u16string& wstrKeyAlgorithm, std::u16string& wstrCert, DWORD dwKeySpec,
                       const std::u16string& wstrCSPName, const std::u16string& wstrContainerName)
{
    static const WCHAR s_wszName[] = u"ImportSignCert";
    TraceHelper trace(s_wszName);
    HRESULT hResult = S_OK;
    BYTE* pbCert = nullptr;
    DWORD cbCert = 0;
    HCRYPTPROV hCryptProv = 0;
    HCRYPTKEY hKey = 0;

    EraseCommaInWstr(wstrCert);
    hResult = DecodeBase64Key(wstrCert.c_str(), &pbCert, &cbCert);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"base64 decode public key FAILED.", u"FAILED(hResult)", hResult);
        return hResult;
    }

    {
        std::u16string wstrTempFile;
        DumpDatatoTempFile(wstrTempFile, pbCert, cbCert);
        QM_TRACE_INFO(wstrTempFile.c_str());
    }

    do
    {
        if (_wcsicmp(wstrKeyAlgorithm.c_str(), u"RSA") == 0)
        {
            DWORD dwProvType =
                RsaProviderTypeOfCSP(wstrCSPName, u"Microsoft Enhanced RSA and AES Cryptographic Provider");
            if (!CryptAcquireContextW(&hCryptProv, wstrContainerName.c_str(), wstrCSPName.c_str(), dwProvType, 0))
            {
                hCryptProv = 0;
                hResult = HResultOfFailedCallKeepCustomer();
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"RSA CryptAcquireContext", u"1", hResult);
                break;
            }
            TraceStepSucceeded(s_wszName, u"RSA CryptAcquireContext");
        }
        else
        {
            // The token's CSP opens the named container under CRYPT_VERIFYCONTEXT too.
            if (!CryptAcquireContextW(&hCryptProv, wstrContainerName.c_str(), wstrCSPName.c_str(), PROV_RSA_FULL,
                                      CRYPT_VERIFYCONTEXT))
            {
                hCryptProv = 0;
                hResult = HResultOfFailedCallKeepCustomer();
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SM2 CryptAcquireContext", u"1", hResult);
                break;
            }
            TraceStepSucceeded(s_wszName, u"SM2 CryptAcquireContext");
        }

        if (!CryptGetUserKey(hCryptProv, dwKeySpec, &hKey))
        {
            hKey = 0;
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptGetUserKey", u"1", hResult);
            break;
        }
        TraceStepSucceeded(s_wszName, u"CryptGetUserKey");

        // Only the certificate of this key is bound to it.
        hResult = CheckCertificateOfKey(hKey, pbCert, cbCert);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CheckCertificateOfKey", u"FAILED(hResult)",
                              hResult);
            break;
        }

        if (!ContainsText(wstrCSPName, u"Microsoft"))
        {
            if (!SetKeyCertificate(hKey, pbCert, cbCert))
            {
                hResult = HResultOfFailedCallKeepCustomer();
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"non-microsoft's CSP: CryptSetKeyParam", u"1", hResult);
                break;
            }
            TraceStepSucceeded(s_wszName, u"non-microsoft's CSP: CryptSetKeyParam");
        }
        else
        {
            hResult = AddCertificateToSystemStore(wstrCSPName.c_str(), hCryptProv, pbCert, cbCert, dwKeySpec,
                                                  wstrContainerName.c_str());
            if (FAILED(hResult))
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"AddCertificateToSystemStore", u"FAILED(hResult)",
                                  hResult);
                break;
            }
            TraceStepSucceeded(s_wszName, u"AddCertificateToSystemStore");
        }
    } while (false);

    delete[] pbCert;
    if (hKey)
    {
        CryptDestroyKey(hKey);
    }
    if (hCryptProv)
    {
        CryptReleaseContext(hCryptProv, 0);
    }
    return hResult;
}
