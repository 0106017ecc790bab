// Import of one certificate-chain document into a machine: roots into the registry form of
// the root store, the bundle's intermediates into the machine's "CA" store.
#include <qm/machine.h>

#include "CertificateChainOperate.h"
#include "ChainDocument.h"
#include "ChainFixture.h"
#include "ChainTrace.h"

namespace
{
const char* const kDocuments[] = {"rsa-operational", "rsa-test", "sm2-operational", "sm2-test"};

class ChainImportTest : public ChainMachineTest
{
protected:
    static HRESULT Import(const std::string& strDocument)
    {
        return ImportCertificateChainfromBlobData(reinterpret_cast<const BYTE*>(strDocument.data()),
                                                  (DWORD)strDocument.size());
    }

    static std::set<std::string> Expected(const std::string& strName, bool bRoots)
    {
        std::set<std::string> setThumbs;
        for (const ChainEntry& entry : Manifest(strName))
        {
            if (entry.bRoot == bRoots && !entry.bExpired)
            {
                setThumbs.insert(entry.strThumbprint);
            }
        }
        return setThumbs;
    }
};

TEST_F(ChainImportTest, EachDocumentInstallsItsUnexpiredRootsAndIntermediates)
{
    for (const char* pszName : kDocuments)
    {
        SCOPED_TRACE(pszName);
        const std::string strDocument = ReadDataFile(std::string(pszName) + ".xml");
        const std::set<std::string> setRoots = Expected(pszName, true);
        const std::set<std::string> setIntermediates = Expected(pszName, false);
        ASSERT_FALSE(setRoots.empty());

        // Start from an empty root store and an empty "CA" store.
        EmptyMachineStores();

        ASSERT_EQ(Import(strDocument), S_OK);

        EXPECT_EQ(RootRegistryKeys(), setRoots);
        EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"ROOT"), setRoots);
        EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"), setIntermediates);
        // The whole Blob, every property record, is the registry value.
        for (const auto& [strThumb, blob] : DocumentRootBlobs(strDocument))
        {
            if (setRoots.count(strThumb))
            {
                EXPECT_EQ(RootRegistryBlob(strThumb), blob) << strThumb;
                EXPECT_EQ(Thumbprint(BlobCertificate(blob)), strThumb);
            }
        }

        // A second run leaves exactly the same machine.
        const auto mapBefore = DumpCertificateKeys();
        ASSERT_EQ(Import(strDocument), S_OK);
        EXPECT_EQ(DumpCertificateKeys(), mapBefore);
    }
}

TEST_F(ChainImportTest, DocumentsHaveTheirFileFormatAndCounts)
{
    const struct
    {
        const char* pszName;
        size_t cRoots;
        size_t cBundle; // intermediates and, once more, the roots
    } kCounts[] = {{"rsa-operational", 3, 11}, {"sm2-operational", 4, 18}, {"rsa-test", 3, 10}, {"sm2-test", 3, 10}};
    for (const auto& c : kCounts)
    {
        SCOPED_TRACE(c.pszName);
        const std::string strDocument = ReadDataFile(std::string(c.pszName) + ".xml");
        // CRLF lines, no byte-order mark, the declaration first.
        EXPECT_EQ(strDocument.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u);
        size_t cLf = 0, cCrLf = 0;
        for (size_t i = 0; i < strDocument.size(); ++i)
        {
            cLf += strDocument[i] == '\n';
            cCrLf += strDocument[i] == '\n' && i > 0 && strDocument[i - 1] == '\r';
        }
        EXPECT_EQ(cLf, cCrLf);
        EXPECT_EQ(DocumentRootBlobs(strDocument).size(), c.cRoots);

        std::string strP7b = strDocument.substr(strDocument.find("<P7bContent>") + 12);
        Bytes bundle = Base64Bytes(strP7b.substr(0, strP7b.find('<')));
        HCERTSTORE hBundle = nullptr;
        ASSERT_EQ(ImportP7bCertificatestoStore(bundle.data(), &hBundle, (DWORD)bundle.size()), S_OK);
        size_t cBundle = 0;
        for (PCCERT_CONTEXT p = nullptr; (p = CertEnumCertificatesInStore(hBundle, p)) != nullptr;)
        {
            ++cBundle;
        }
        CertCloseStore(hBundle, 0);
        EXPECT_EQ(cBundle, c.cBundle);
    }
}

TEST_F(ChainImportTest, NotElevatedWritesNothingAndReportsAccessDenied)
{
    const auto mapBefore = DumpCertificateKeys();
    qm::SetProcessElevated(false);
    EXPECT_EQ(Import(ReadDataFile("rsa-operational.xml")), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    qm::SetProcessElevated(true);
    EXPECT_EQ(DumpCertificateKeys(), mapBefore);
    // Every root was attempted; each write was refused.
    std::vector<uint32_t> vecWrites = ResultsOf(u"WriteCertificatetoRegistry-RegWriteBinaryValue");
    EXPECT_EQ(vecWrites, std::vector<uint32_t>(2, 0x80070005u));
    EXPECT_EQ(ResultsOf(u"AddCertificatetoStore-CertOpenSystemStoreW"), std::vector<uint32_t>{0x80070005u});
}

TEST_F(ChainImportTest, WithoutComTheDocumentCannotBeParsed)
{
    CoUninitialize();
    EXPECT_EQ(Import(ReadDataFile("rsa-test.xml")), CO_E_NOTINITIALIZED);
    EXPECT_EQ(ResultsOf(u"LoadXMLDom-CoCreateInstance"), std::vector<uint32_t>{(uint32_t)CO_E_NOTINITIALIZED});
    EXPECT_TRUE(RootRegistryKeys().empty());
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
}

TEST_F(ChainImportTest, NullDocumentIsRefused)
{
    EXPECT_EQ(ImportCertificateChainfromBlobData(nullptr, 10), E_INVALIDARG);
}

TEST_F(ChainImportTest, RootNotYetValidIsWrittenAndPresentBundleCertificateIsNoError)
{
    const std::string strDocument = ReadDataFile("rsa-test.xml");
    const Bytes future = PemFileToDer("fixtures/future-root.pem");
    const std::string strFutureThumb = Thumbprint(future);
    std::string strChanged = ReplaceElementText(strDocument, "EntryPoint", 0, strFutureThumb);
    strChanged = ReplaceElementText(strChanged, "Content", 0, ReadDataFile("fixtures/future-root.blob.b64"));

    // One of the bundle's intermediates is there already.
    const std::set<std::string> setIntermediates = Expected("rsa-test", false);
    std::map<std::string, Bytes> mapBlobs = DocumentRootBlobs(strDocument);
    HCERTSTORE hBundle = nullptr;
    {
        std::string strP7b = strDocument.substr(strDocument.find("<P7bContent>") + 12);
        Bytes bundle = Base64Bytes(strP7b.substr(0, strP7b.find('<')));
        ASSERT_EQ(ImportP7bCertificatestoStore(bundle.data(), &hBundle, (DWORD)bundle.size()), S_OK);
        PCCERT_CONTEXT pFirst = CertEnumCertificatesInStore(hBundle, nullptr);
        ASSERT_NE(pFirst, nullptr);
        AddToStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA",
                   Bytes(pFirst->pbCertEncoded, pFirst->pbCertEncoded + pFirst->cbCertEncoded));
        CertFreeCertificateContext(pFirst);
        CertCloseStore(hBundle, 0);
    }

    ASSERT_EQ(Import(strChanged), S_OK);
    EXPECT_EQ(RootRegistryKeys().count(strFutureThumb), 1u);
    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"), setIntermediates);
}

// A document changed in one way, and what the import must then do.
const HRESULT kAnyFailure = (HRESULT)0xFFFFFFFF; // the platform's code, whatever it is
struct HostileCase
{
    const char* pszName;
    std::string (*pfnChange)(const std::string& strDocument);
    HRESULT hrExpected;
    int nRootsSkipped;   // of the document's unexpired roots; -1: none written at all
    bool bBundleAdded;
};

std::string WithFirstBlob(const std::string& strDocument, const Bytes& blob)
{
    return ReplaceElementText(strDocument, "Content", 0, Base64Lines(blob));
}

Bytes FirstBlob(const std::string& strDocument)
{
    std::string strContent = strDocument.substr(strDocument.find("<Content>") + 9);
    return Base64Bytes(strContent.substr(0, strContent.find('<')));
}

const HostileCase kHostileCases[] = {
    {"not XML", [](const std::string&) { return std::string("certificates, but not XML"); }, E_XML_PARSE_FAILED, -1,
     false},
    {"empty text", [](const std::string&) { return std::string(); }, E_XML_PARSE_FAILED, -1, false},
    {"cut in the middle", [](const std::string& s) { return s.substr(0, s.size() / 2); }, E_XML_PARSE_FAILED, -1,
     false},
    {"no RootCACertificate", [](const std::string& s) { return RemoveElement(s, "RootCACertificate", 0); },
     E_XML_PARSE_FAILED, -1, false},
    {"no P7bContent", [](const std::string& s) { return RemoveElement(s, "P7bContent", 0); }, E_XML_PARSE_FAILED, 0,
     false},
    {"Certificate with two children", [](const std::string& s) { return RemoveElement(s, "ImportPath", 0); }, S_OK, 1,
     true},
    {"children renamed but in order",
     [](const std::string& s) {
         return RenameElement(RenameElement(RenameElement(s, "ImportPath", "Path"), "EntryPoint", "Key"), "Content",
                              "Data");
     },
     S_OK, 0, true},
    {"element names that merely contain the wanted ones",
     [](const std::string& s) {
         return RenameElement(RenameElement(s, "RootCACertificate", "xRootCACertificates"), "P7bContent",
                              "TheP7bContentHere");
     },
     S_OK, 0, true},
    {"Blob without record 32",
     [](const std::string& s) {
         Bytes blob = FirstBlob(s);
         return WithFirstBlob(s, Bytes(blob.begin(), blob.end() - (long)BlobCertificate(blob).size() - 12));
     },
     S_OK, 1, true},
    {"Blob ending inside a record header",
     [](const std::string& s) {
         Bytes blob = FirstBlob(s);
         return WithFirstBlob(s, Bytes(blob.begin(), blob.begin() + 20));
     },
     S_OK, 1, true},
    {"Blob ending inside the certificate",
     [](const std::string& s) {
         Bytes blob = FirstBlob(s);
         return WithFirstBlob(s, Bytes(blob.begin(), blob.end() - 1));
     },
     S_OK, 1, true},
    {"Blob whose record length wraps",
     [](const std::string& s) { return WithFirstBlob(s, BlobRecord(3, Bytes(20)) + Bytes{32, 0, 0, 0, 1, 0, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF}); },
     S_OK, 1, true},
    {"record 32 that is not a certificate",
     [](const std::string& s) { return WithFirstBlob(s, BlobRecord(32, Bytes{0x30, 0x03, 0x02, 0x01, 0x05})); }, S_OK,
     1, true},
    {"bundle that is not PKCS#7",
     [](const std::string& s) { return ReplaceElementText(s, "P7bContent", 0, "aGVsbG8sIHdvcmxkIQ=="); },
     kAnyFailure, 0, false},
    {"bundle without text", [](const std::string& s) { return ReplaceElementText(s, "P7bContent", 0, ""); },
     kAnyFailure, 0, false},
};

TEST_F(ChainImportTest, HostileDocumentsGiveTheirResultsAndNoPartialWrites)
{
    const std::string strDocument = ReadDataFile("rsa-operational.xml");
    const std::set<std::string> setRoots = Expected("rsa-operational", true);
    const std::set<std::string> setIntermediates = Expected("rsa-operational", false);
    for (const HostileCase& c : kHostileCases)
    {
        SCOPED_TRACE(c.pszName);
        EmptyMachineStores();

        const std::string strChanged = c.pfnChange(strDocument);
        const HRESULT hResult = Import(strChanged);
        if (c.hrExpected == kAnyFailure)
        {
            EXPECT_TRUE(FAILED(hResult)) << std::hex << hResult;
        }
        else
        {
            EXPECT_EQ(hResult, c.hrExpected) << std::hex << hResult;
        }

        std::set<std::string> setExpectedRoots;
        if (c.nRootsSkipped >= 0)
        {
            setExpectedRoots = setRoots;
            if (c.nRootsSkipped == 1)
            {
                // The changed root is the document's first one.
                setExpectedRoots.erase(Manifest("rsa-operational")[0].strThumbprint);
            }
        }
        EXPECT_EQ(RootRegistryKeys(), setExpectedRoots);
        EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"),
                  c.bBundleAdded ? setIntermediates : std::set<std::string>());
    }
}

TEST_F(ChainImportTest, RecordOrderDoesNotMatterForTheCertificate)
{
    const std::string strDocument = ReadDataFile("sm2-test.xml");
    Bytes blob = FirstBlob(strDocument);
    Bytes der = BlobCertificate(blob);
    // Record 32 first, another record after it: the certificate still comes from record 32.
    Bytes reordered = BlobRecord(32, der) + BlobRecord(4, Bytes(16, 0xAB));
    ASSERT_EQ(Import(WithFirstBlob(strDocument, reordered)), S_OK);
    EXPECT_EQ(RootRegistryBlob(Thumbprint(der)), reordered);
}

TEST_F(ChainImportTest, FindChildNodeReportsTheAuthorityCodeForAMissingChild)
{
    EXPECT_EQ(E_XML_PARSE_FAILED, (HRESULT)0xA0071402);
    EXPECT_EQ(FindChildNode(nullptr, nullptr, u"P7bContent"), E_INVALIDARG);
}
} // namespace
