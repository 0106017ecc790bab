#include "RecordingCspMachine.h"

#include <cstdlib>
#include <fstream>

#include <qm/csp_spi.h>
#include <qm/machine.h>

namespace signing_test
{
const WCHAR kRecordingProviderName[] = u"Quillmark Recording Test CSP";

std::u16string Wide(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string TakeBstr(BSTR bstr)
{
    std::u16string text = bstr ? std::u16string(bstr, SysStringLen(bstr)) : std::u16string();
    SysFreeString(bstr);
    return text;
}

CRecordingCspMachine::CRecordingCspMachine()
{
    qm::SetMachineDirectory(m_dir.Path() / "machine");
    qm::SetProcessElevated(true);
    std::u16string path = std::u16string(QM_CSP_PROVIDER_KEY) + u"\\" + kRecordingProviderName;
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) ==
        ERROR_SUCCESS)
    {
        std::u16string image = Wide(QM_TEST_CSP_PATH);
        RegSetValueExW(hKey, u"Image Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(image.c_str()),
                       (DWORD)((image.size() + 1) * sizeof(WCHAR)));
        DWORD dwType = PROV_RSA_FULL;
        RegSetValueExW(hKey, u"Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwType), sizeof(dwType));
        RegCloseKey(hKey);
    }
    qm::SetProcessElevated(false);
    m_log = m_dir.File("csp.log");
    ResetLog();
}

CRecordingCspMachine::~CRecordingCspMachine()
{
    unsetenv("QM_TEST_CSP_LOG");
    unsetenv("QM_TEST_CSP_SIGN_ERROR");
    unsetenv("QM_TEST_CSP_SIGN_LENGTH");
}

void CRecordingCspMachine::ResetLog()
{
    std::remove(m_log.c_str());
    setenv("QM_TEST_CSP_LOG", m_log.c_str(), 1);
    unsetenv("QM_TEST_CSP_SIGN_ERROR");
    unsetenv("QM_TEST_CSP_SIGN_LENGTH");
}

std::vector<std::string> CRecordingCspMachine::Log() const
{
    std::vector<std::string> lines;
    std::ifstream in(m_log);
    for (std::string line; std::getline(in, line);)
    {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CRecordingCspMachine::LogLines(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const std::string& line : Log())
    {
        if (line.rfind(prefix, 0) == 0)
        {
            out.push_back(line);
        }
    }
    return out;
}

std::vector<size_t> CRecordingCspMachine::HashedPieces() const
{
    std::vector<size_t> pieces;
    for (const std::string& line : LogLines("data "))
    {
        pieces.push_back(std::stoul(line.substr(5)));
    }
    return pieces;
}

PCCERT_CONTEXT CRecordingCspMachine::ContextWithKey(const CTestSigner& signer)
{
    PCCERT_CONTEXT pCert = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                        signer.CertDer().data(), (DWORD)signer.CertDer().size());
    if (!pCert)
    {
        return nullptr;
    }
    std::u16string container = Wide(signer.KeyPath());
    CRYPT_KEY_PROV_INFO info = {};
    info.pwszContainerName = container.data();
    info.pwszProvName = const_cast<LPWSTR>(kRecordingProviderName);
    info.dwProvType = PROV_RSA_FULL;
    info.dwKeySpec = AT_SIGNATURE;
    if (!CertSetCertificateContextProperty(pCert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info))
    {
        CertFreeCertificateContext(pCert);
        return nullptr;
    }
    return pCert;
}

bool CRecordingCspMachine::AddToMyStore(const CTestSigner& signer)
{
    PCCERT_CONTEXT pCert = ContextWithKey(signer);
    HCERTSTORE hStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                      CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    bool bAdded = pCert && hStore &&
                  CertAddCertificateContextToStore(hStore, pCert, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (hStore)
    {
        CertCloseStore(hStore, 0);
    }
    CertFreeCertificateContext(pCert);
    return bAdded;
}

bool CRecordingCspMachine::CmsVerifies(const Bytes& der, const Bytes& content, bool bDetached)
{
    std::string base = m_dir.File("msg" + std::to_string(m_nFile++));
    WriteFileBytes(base + ".p7", der);
    WriteFileBytes(base + ".txt", content);
    std::string cmd = "openssl cms -verify -binary -noverify -inform DER -in '" + base + ".p7' -out '" + base +
                      ".out'" + (bDetached ? " -content '" + base + ".txt'" : "");
    return RunCommand(cmd) == 0 && ReadFileBytes(base + ".out") == content;
}
} // namespace signing_test
