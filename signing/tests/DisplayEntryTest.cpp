// The texts of one row, in both languages, and the resources the plug-in carries for them.
#include <gtest/gtest.h>

#include "SelectCertificateDlg.h"
#include "SelectionDialogMachine.h"

using namespace dialog_test;

namespace
{
std::u16string Validity(const char16_t* lpwszFormat, PCCERT_CONTEXT pCert)
{
    SYSTEMTIME from = {}, to = {};
    FileTimeToSystemTime(&pCert->pCertInfo->NotBefore, &from);
    FileTimeToSystemTime(&pCert->pCertInfo->NotAfter, &to);
    WCHAR wsz[256] = {};
    _snwprintf_s(wsz, 256, _TRUNCATE, lpwszFormat, from.wYear, from.wMonth, from.wDay, to.wYear, to.wMonth, to.wDay);
    return wsz;
}
} // namespace

class DisplayEntryTest : public ::testing::Test
{
protected:
    void TearDown() override { SetThreadUILanguage(0); }
    CSelectionDialogMachine m_machine;
};

TEST_F(DisplayEntryTest, LinesOfACertificate)
{
    struct Case
    {
        const char* name;
        std::string subject;
        KeyKind key;
        std::string serial;
        std::u16string cn;
        std::u16string issuer;
        std::u16string serialLine;
        int keyFlag;
    } cases[] = {
        {"software key, organisation", "/CN=Plain/O=Acme", KeyKind::Software, "0x0201", u"Plain", u"Issuer: Acme",
         u"SN: 0201", 0},
        {"hardware key, no organisation", "/CN=OnlyName", KeyKind::Hardware, "0x0A1B2C", u"OnlyName",
         u"Issuer: OnlyName", u"SN: 0a1b2c", 1},
        {"no key, no common name", "/O=Nameless Org", KeyKind::None, "0x01", u"", u"Issuer: Nameless Org", u"SN: 01",
         0},
        {"unit before the name", "/OU=Unit/CN=Person/O=Org", KeyKind::None, "0x7F", u"Person", u"Issuer: Org",
         u"SN: 7f", 0},
    };
    for (const auto& t : cases)
    {
        SCOPED_TRACE(t.name);
        PCCERT_CONTEXT pCert = m_machine.AddCertificate(t.subject, t.key, t.serial);
        ASSERT_NE(pCert, nullptr);
        CertificateDisplayEntry entry;
        ASSERT_EQ(S_OK, BuildCertificateDisplayEntry(GetModuleHandleW(nullptr), pCert, entry));
        EXPECT_EQ(pCert, entry.pCertContext);
        EXPECT_EQ(t.cn, entry.strSubjectCN);
        EXPECT_EQ(t.issuer, entry.strIssuer);
        EXPECT_EQ(t.serialLine, entry.strSerial);
        EXPECT_EQ(Validity(u"Valid From: %04d/%02d/%02d to %04d/%02d/%02d", pCert), entry.strValidity);
        EXPECT_EQ(t.keyFlag, entry.nKeyFlag);
        CertFreeCertificateContext(pCert);
    }
}

TEST_F(DisplayEntryTest, NamesLongerThanTheBufferAreCut)
{
    // A multi-valued RDN keeps the text after "CN=" free of commas for 200 characters more.
    PCCERT_CONTEXT pCert = m_machine.AddCertificate("/CN=Long+description=" + std::string(200, 'N'), KeyKind::None);
    ASSERT_NE(pCert, nullptr);
    CertificateDisplayEntry entry;
    ASSERT_EQ(S_OK, BuildCertificateDisplayEntry(GetModuleHandleW(nullptr), pCert, entry));
    EXPECT_EQ(127u, entry.strSubjectCN.size());
    EXPECT_EQ(u"Long", entry.strSubjectCN.substr(0, 4));
    EXPECT_EQ(u"Issuer: " + entry.strSubjectCN, entry.strIssuer);
    CertFreeCertificateContext(pCert);
}

TEST_F(DisplayEntryTest, ChineseLines)
{
    PCCERT_CONTEXT pCert = m_machine.AddCertificate("/CN=Zhang/O=Acme", KeyKind::None, "0x0102");
    SetThreadUILanguage(0x0804);
    CertificateDisplayEntry entry;
    ASSERT_EQ(S_OK, BuildCertificateDisplayEntry(GetModuleHandleW(nullptr), pCert, entry));
    EXPECT_EQ(u"\u9881\u53d1\u8005: Acme", entry.strIssuer);
    EXPECT_EQ(u"\u5e8f\u5217\u53f7: 0102", entry.strSerial);
    EXPECT_EQ(Validity(u"\u6709\u6548\u671f: %04d/%02d/%02d \u81f3 %04d/%02d/%02d", pCert), entry.strValidity);
    CertFreeCertificateContext(pCert);
}

TEST_F(DisplayEntryTest, MissingStringsFailTheEntry)
{
    PCCERT_CONTEXT pCert = m_machine.AddCertificate("/CN=Any/O=Org", KeyKind::None);
    HMODULE hNoResources = LoadLibraryW(QM_RSAENH_PATH);
    ASSERT_NE(hNoResources, nullptr);
    CertificateDisplayEntry entry;
    HRESULT hr = BuildCertificateDisplayEntry(hNoResources, pCert, entry);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    FreeLibrary(hNoResources);
    CertFreeCertificateContext(pCert);
}

TEST_F(DisplayEntryTest, SortPutsHardwareKeysFirstThenNamesWithoutCase)
{
    auto entry = [](const char16_t* cn, int flag) {
        CertificateDisplayEntry e;
        e.strSubjectCN = cn;
        e.nKeyFlag = flag;
        return e;
    };
    EXPECT_TRUE(CompareCertificateEntries(entry(u"zeta", 1), entry(u"Alpha", 0)));
    EXPECT_FALSE(CompareCertificateEntries(entry(u"Alpha", 0), entry(u"zeta", 1)));
    EXPECT_TRUE(CompareCertificateEntries(entry(u"alpha", 0), entry(u"Beta", 0)));
    EXPECT_FALSE(CompareCertificateEntries(entry(u"ALPHA", 0), entry(u"alpha", 0)));
    EXPECT_FALSE(CompareCertificateEntries(entry(u"alpha", 0), entry(u"ALPHA", 0)));
}

// The plug-in library carries the dialog's resources beside the chain documents.
TEST(SigningPluginResources, DialogStringsPicturesAndChains)
{
    HMODULE hPlugin = LoadLibraryW(QM_SIGNING_PLUGIN);
    ASSERT_NE(hPlugin, nullptr);
    EXPECT_NE(nullptr, FindResourceW(hPlugin, MAKEINTRESOURCEW(101), RT_DIALOG));
    for (int id : {105, 106, 107})
        EXPECT_NE(nullptr, FindResourceW(hPlugin, MAKEINTRESOURCEW(id), u"PNG")) << id;
    EXPECT_NE(nullptr, FindResourceW(hPlugin, MAKEINTRESOURCEW(104), u"CERTIFICATE"));
    EXPECT_NE(nullptr, FindResourceW(hPlugin, MAKEINTRESOURCEW(105), u"CERTIFICATE"));
    struct
    {
        LANGID language;
        const char16_t* prompt;
        const char16_t* cancelled;
    } languages[] = {{0x0409, u"Select a Certificate", u"User canceled operation."},
                     {0x0804, u"\u9009\u62e9\u8bc1\u4e66", u"\u7528\u6237\u53d6\u6d88\u9009\u62e9\u8bc1\u4e66"}};
    for (const auto& l : languages)
    {
        SetThreadUILanguage(l.language);
        WCHAR wsz[128] = {};
        LoadStringW(hPlugin, 203, wsz, 128);
        EXPECT_EQ(std::u16string(l.prompt), wsz);
        LoadStringW(hPlugin, 0x1002, wsz, 128);
        EXPECT_EQ(std::u16string(l.cancelled), wsz);
    }
    SetThreadUILanguage(0);
    FreeLibrary(hPlugin);
}
