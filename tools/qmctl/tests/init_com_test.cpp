// After qmctl init, a process on that machine (not elevated, like a browser) can create the
// MSXML DOM document through COM, as on a Windows with MSXML installed, and finds the
// system certificate stores every Windows has.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "msxml6.h"
#include "objbase.h"
#include "oleauto.h"
#include "qm/machine.h"
#include "wincrypt.h"
#include "winreg.h"

namespace
{
class InitComTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm-qmctl-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_machine = pattern;
        qm::SetMachineDirectory(m_machine);
        qm::SetProcessElevated(false);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    }
    void TearDown() override
    {
        CoUninitialize();
        std::error_code ec;
        std::filesystem::remove_all(m_machine, ec);
    }
    int Qmctl(const std::string& args)
    {
        const std::string command =
            std::string("'") + QMCTL_PATH + "' --machine '" + m_machine.string() + "' " + args;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static HRESULT CreateDocument(IXMLDOMDocument** doc)
    {
        *doc = nullptr;
        return CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IXMLDOMDocument, reinterpret_cast<void**>(doc));
    }
    std::filesystem::path m_machine;
};

TEST_F(InitComTest, DomDocumentIsCreatableOnlyAfterInit)
{
    IXMLDOMDocument* doc = nullptr;
    EXPECT_EQ(CreateDocument(&doc), REGDB_E_CLASSNOTREG) << "a machine without init has no servers";
    EXPECT_EQ(doc, nullptr);

    ASSERT_EQ(Qmctl("init"), 0);
    EXPECT_FALSE(qm::IsProcessElevated());
    ASSERT_EQ(CreateDocument(&doc), S_OK);
    ASSERT_NE(doc, nullptr);
    BSTR xml = SysAllocString(u"<chain><cert/></chain>");
    VARIANT_BOOL loaded = VARIANT_FALSE;
    EXPECT_EQ(doc->loadXML(xml, &loaded), S_OK);
    EXPECT_EQ(loaded, VARIANT_TRUE);
    SysFreeString(xml);
    doc->Release();

    // A second init keeps the registration working.
    ASSERT_EQ(Qmctl("init"), 0);
    ASSERT_EQ(CreateDocument(&doc), S_OK);
    doc->Release();
}

TEST_F(InitComTest, SystemCertificateStoresExistOnlyAfterInit)
{
    const struct
    {
        DWORD location;
        const char16_t* store;
    } stores[] = {
        {CERT_SYSTEM_STORE_LOCAL_MACHINE, u"ROOT"}, {CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"},
        {CERT_SYSTEM_STORE_LOCAL_MACHINE, u"MY"},   {CERT_SYSTEM_STORE_LOCAL_MACHINE, u"Disallowed"},
        {CERT_SYSTEM_STORE_CURRENT_USER, u"MY"},    {CERT_SYSTEM_STORE_CURRENT_USER, u"Root"},
        {CERT_SYSTEM_STORE_CURRENT_USER, u"CA"},    {CERT_SYSTEM_STORE_CURRENT_USER, u"TrustedPeople"},
    };
    auto OpenExisting = [](DWORD location, const char16_t* store) {
        HCERTSTORE h = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                     location | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG, store);
        if (h)
            CertCloseStore(h, 0);
        return h != nullptr;
    };
    for (const auto& s : stores)
        EXPECT_FALSE(OpenExisting(s.location, s.store)) << "a machine without init has no stores";

    ASSERT_EQ(Qmctl("init"), 0);
    for (const auto& s : stores)
    {
        SCOPED_TRACE(&s - stores);
        EXPECT_TRUE(OpenExisting(s.location, s.store));
        // Each store with its certificate, CRL and CTL lists, readable without elevation.
        const std::u16string base = std::u16string(s.location == CERT_SYSTEM_STORE_LOCAL_MACHINE
                                                       ? u"SOFTWARE\\Microsoft\\SystemCertificates\\"
                                                       : u"Software\\Microsoft\\SystemCertificates\\") +
                                    s.store + u"\\";
        const HKEY root = s.location == CERT_SYSTEM_STORE_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        for (const char16_t* list : {u"Certificates", u"CRLs", u"CTLs"})
        {
            HKEY key = nullptr;
            EXPECT_EQ(RegOpenKeyExW(root, (base + list).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
            RegCloseKey(key);
        }
    }
}
} // namespace
