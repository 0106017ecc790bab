#include "ChainFixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <qm/machine.h>

#include "Base64Encoding.h"
#include "ResourceRegistry.h"
#include "Trace.h"

namespace
{
std::string Hex(const BYTE* pb, DWORD cb)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string str;
    for (DWORD i = 0; i < cb; ++i)
    {
        str += kDigits[pb[i] >> 4];
        str += kDigits[pb[i] & 15];
    }
    return str;
}

std::string Narrow(const std::u16string& wstr)
{
    return std::string(wstr.begin(), wstr.end());
}

void DumpKey(HKEY hParent, const std::u16string& wstrPath, const std::string& strPrefix,
             std::map<std::string, Bytes>& mapOut)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(hParent, wstrPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
    {
        return;
    }
    mapOut[strPrefix] = {};
    for (DWORD i = 0;; ++i)
    {
        WCHAR wszName[256];
        DWORD cchName = 256;
        DWORD dwType = 0;
        DWORD cbData = 0;
        if (RegEnumValueW(hKey, i, wszName, &cchName, nullptr, &dwType, nullptr, &cbData) != ERROR_SUCCESS)
        {
            break;
        }
        Bytes data(cbData);
        RegQueryValueExW(hKey, wszName, nullptr, &dwType, data.data(), &cbData);
        mapOut[strPrefix + "|" + Narrow(wszName) + "|" + std::to_string(dwType)] = data;
    }
    for (DWORD i = 0;; ++i)
    {
        WCHAR wszName[256];
        DWORD cchName = 256;
        if (RegEnumKeyExW(hKey, i, wszName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        {
            break;
        }
        DumpKey(hKey, wszName, strPrefix + "\\" + Narrow(wszName), mapOut);
    }
    RegCloseKey(hKey);
}
} // namespace

void ChainMachineTest::SetUp()
{
    std::string strPattern = (std::filesystem::temp_directory_path() / "qm-trust-XXXXXX").string();
    ASSERT_NE(mkdtemp(strPattern.data()), nullptr);
    m_machine = strPattern;
    qm::SetMachineDirectory(m_machine);
    // The machine as an installer finds it: the DOM server registered, the system certificate
    // stores' keys in place.
    const std::string strInit = std::string("'") + QMCTL_PATH + "' --machine '" + m_machine.string() + "' init";
    ASSERT_EQ(std::system(strInit.c_str()), 0);
    qm::SetProcessElevated(true);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    ASSERT_EQ(StartTracing(), (ULONG)ERROR_SUCCESS);
    m_capture = std::make_unique<qm::test::TraceCapture>(TRACE_FLAG_FAILURE | TRACE_FLAG_INFO, TRACE_LEVEL_VERBOSE,
                                                         &g_guidTraceProvider);
}

void ChainMachineTest::TearDown()
{
    m_capture.reset();
    StopTracing();
    CoUninitialize();
    qm::SetProcessElevated(false);
    std::error_code ec;
    std::filesystem::remove_all(m_machine, ec);
}

void ChainMachineTest::EmptyMachineStores()
{
    const char16_t* const rgpwszKeys[] = {u"SOFTWARE\\Microsoft\\SystemCertificates\\CA\\Certificates",
                                          ROOT_CERTIFICATES_KEY};
    for (const char16_t* pwszKey : rgpwszKeys)
    {
        HKEY hKey = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, pwszKey, 0, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteTreeW(hKey, nullptr), ERROR_SUCCESS);
        RegCloseKey(hKey);
    }
}

std::string ChainMachineTest::ReadDataFile(const std::string& strName)
{
    std::ifstream in(std::string(QM_TRUSTCHAIN_DATA) + "/" + strName, std::ios::binary);
    EXPECT_TRUE(in.good()) << strName;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Bytes ChainMachineTest::ReadDataBytes(const std::string& strName)
{
    std::string str = ReadDataFile(strName);
    return Bytes(str.begin(), str.end());
}

Bytes ChainMachineTest::PemFileToDer(const std::string& strName)
{
    std::string strPem = ReadDataFile(strName);
    size_t nBegin = strPem.find("-----\n");
    size_t nEnd = strPem.find("-----END");
    EXPECT_NE(nBegin, std::string::npos);
    std::string strBase64 = strPem.substr(nBegin + 6, nEnd - nBegin - 6);
    BYTE* pb = nullptr;
    DWORD cb = 0;
    EXPECT_EQ(Base64DecodeEx((int)strBase64.size(), &pb, strBase64.c_str(), &cb), S_OK);
    Bytes der(pb, pb + cb);
    delete[] pb;
    return der;
}

std::vector<ChainEntry> ChainMachineTest::Manifest(const std::string& strDocument)
{
    std::istringstream lines(ReadDataFile("chains-manifest.txt"));
    std::vector<ChainEntry> vecEntries;
    std::string strLine;
    while (std::getline(lines, strLine))
    {
        if (strLine.empty() || strLine[0] == '#')
        {
            continue;
        }
        std::istringstream fields(strLine);
        ChainEntry entry;
        std::string strKind, strValidity;
        fields >> entry.strDocument >> strKind >> entry.strThumbprint >> strValidity;
        std::getline(fields >> std::ws, entry.strSubject);
        entry.bRoot = strKind == "root";
        entry.bExpired = strValidity == "expired";
        if (entry.strDocument == strDocument)
        {
            vecEntries.push_back(entry);
        }
    }
    return vecEntries;
}

std::string ChainMachineTest::Thumbprint(const Bytes& der)
{
    PCCERT_CONTEXT pCert = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), (DWORD)der.size());
    EXPECT_NE(pCert, nullptr);
    if (!pCert)
    {
        return "";
    }
    BYTE rgbHash[20];
    DWORD cbHash = sizeof(rgbHash);
    EXPECT_TRUE(CertGetCertificateContextProperty(pCert, CERT_SHA1_HASH_PROP_ID, rgbHash, &cbHash));
    CertFreeCertificateContext(pCert);
    return Hex(rgbHash, cbHash);
}

std::u16string ChainMachineTest::Wide(const std::string& str)
{
    return std::u16string(str.begin(), str.end());
}

std::set<std::string> ChainMachineTest::StoreThumbprints(DWORD dwLocation, const char16_t* pwszStore)
{
    std::set<std::string> setThumbprints;
    HCERTSTORE hStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                      dwLocation | CERT_STORE_READONLY_FLAG, pwszStore);
    if (!hStore)
    {
        return setThumbprints;
    }
    PCCERT_CONTEXT pCert = nullptr;
    while ((pCert = CertEnumCertificatesInStore(hStore, pCert)) != nullptr)
    {
        setThumbprints.insert(Thumbprint(Bytes(pCert->pbCertEncoded, pCert->pbCertEncoded + pCert->cbCertEncoded)));
    }
    CertCloseStore(hStore, 0);
    return setThumbprints;
}

std::set<std::string> ChainMachineTest::RootRegistryKeys()
{
    std::set<std::string> setKeys;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ROOT_CERTIFICATES_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
    {
        return setKeys;
    }
    for (DWORD i = 0;; ++i)
    {
        WCHAR wszName[256];
        DWORD cchName = 256;
        if (RegEnumKeyExW(hKey, i, wszName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        {
            break;
        }
        setKeys.insert(Narrow(wszName));
    }
    RegCloseKey(hKey);
    return setKeys;
}

Bytes ChainMachineTest::RootRegistryBlob(const std::string& strThumbprint)
{
    std::u16string wstrPath = std::u16string(ROOT_CERTIFICATES_KEY) + u"\\" + Wide(strThumbprint);
    HKEY hKey = nullptr;
    Bytes blob;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wstrPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
    {
        return blob;
    }
    DWORD dwType = 0;
    DWORD cb = 0;
    if (RegQueryValueExW(hKey, u"Blob", nullptr, &dwType, nullptr, &cb) == ERROR_SUCCESS)
    {
        blob.resize(cb);
        RegQueryValueExW(hKey, u"Blob", nullptr, &dwType, blob.data(), &cb);
    }
    RegCloseKey(hKey);
    return blob;
}

void ChainMachineTest::AddToStore(DWORD dwLocation, const char16_t* pwszStore, const Bytes& der)
{
    HCERTSTORE hStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                      dwLocation, pwszStore);
    ASSERT_NE(hStore, nullptr);
    EXPECT_TRUE(CertAddEncodedCertificateToStore(hStore, X509_ASN_ENCODING, der.data(), (DWORD)der.size(),
                                                 CERT_STORE_ADD_NEW, nullptr));
    CertCloseStore(hStore, 0);
}

void ChainMachineTest::WriteRootKey(HKEY hHive, const Bytes& der)
{
    // The registry form of a root: a Blob with the certificate record only.
    Bytes blob(12);
    const DWORD rgHeader[3] = {32, 1, (DWORD)der.size()};
    for (int i = 0; i < 12; ++i)
    {
        blob[i] = (BYTE)(rgHeader[i / 4] >> (8 * (i % 4)));
    }
    blob.insert(blob.end(), der.begin(), der.end());
    std::u16string wstrPath = std::u16string(hHive == HKEY_LOCAL_MACHINE ? u"SOFTWARE" : u"Software") +
                              u"\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\" + Wide(Thumbprint(der));
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(hHive, wstrPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(hKey, u"Blob", 0, REG_BINARY, blob.data(), (DWORD)blob.size()), ERROR_SUCCESS);
    RegCloseKey(hKey);
}

std::map<std::string, Bytes> ChainMachineTest::DumpCertificateKeys()
{
    std::map<std::string, Bytes> mapOut;
    DumpKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\SystemCertificates", "HKLM", mapOut);
    DumpKey(HKEY_CURRENT_USER, u"Software\\Microsoft\\SystemCertificates", "HKCU", mapOut);
    return mapOut;
}

std::vector<std::pair<std::u16string, uint32_t>> ChainMachineTest::Results() const
{
    std::vector<std::pair<std::u16string, uint32_t>> vecResults;
    for (const auto& event : m_capture->Events())
    {
        if (event.args.size() == 2 && event.args[0].size() > 4 && event.args[1].size() == 4)
        {
            vecResults.emplace_back(event.ArgText(0), event.ArgUInt32(1));
        }
    }
    return vecResults;
}

std::vector<uint32_t> ChainMachineTest::ResultsOf(const std::u16string& wstrLabelPart) const
{
    std::vector<uint32_t> vecCodes;
    for (const auto& [wstrLabel, hr] : Results())
    {
        if (wstrLabel.find(wstrLabelPart) != std::u16string::npos)
        {
            vecCodes.push_back(hr);
        }
    }
    return vecCodes;
}
