// The certificate viewer: a modal dialog with the certificate's fields, ended by its OK
// button or Escape, owned by the caller's window.
#include <gtest/gtest.h>

#include <ctime>

#include "../../crypt32/tests/cert_factory.h"
#include "cryptuiapi.h"
#include "qm/windowing.h"

namespace
{
std::u16string Text(HWND dlg, int id)
{
    WCHAR buffer[512] = {};
    GetDlgItemTextW(dlg, id, buffer, 512);
    return buffer;
}

bool Contains(const std::u16string& s, const std::u16string& part) { return s.find(part) != std::u16string::npos; }
} // namespace

TEST(CryptUIViewer, ShowsSubjectIssuerSerialAndValidity)
{
    qm::test::CertFactory factory;
    qm::test::CertSpec spec;
    spec.subject = "/O=Quill Org/CN=Viewer Test";
    spec.serial = "0x1A2B3C";
    auto der = factory.Make(spec);
    PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    ASSERT_NE(cert, nullptr);

    std::u16string subject, issuer, serial, validity, title;
    HWND owner = nullptr;
    bool ownerDisabled = false;
    int turns = 0;
    qm::win::SetIdleHook([&](HWND dlg) {
        if (++turns == 1)
        {
            subject = Text(dlg, 101);
            issuer = Text(dlg, 103);
            serial = Text(dlg, 105);
            validity = Text(dlg, 107);
            WCHAR t[64] = {};
            GetWindowTextW(dlg, t, 64);
            title = t;
            owner = GetWindow(dlg, GW_OWNER);
            ownerDisabled = !IsWindowEnabled(owner);
            auto out = std::filesystem::path(QM_TEST_OUTPUT_DIR);
            std::filesystem::create_directories(out);
            qm::win::RenderWindowToPng(dlg, out / "certificate_viewer.png");
            qm::win::InjectKey(VK_RETURN);
        }
        else if (turns > 50)
            EndDialog(dlg, 99);
        return true;
    });
    HWND parent = CreateWindowExW(0, u"Static", u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    CRYPTUI_VIEWCERTIFICATE_STRUCTW view{sizeof view};
    view.hwndParent = parent;
    view.pCertContext = cert;
    BOOL changed = TRUE;
    EXPECT_TRUE(CryptUIDlgViewCertificateW(&view, &changed));
    qm::win::SetIdleHook(nullptr);
    EXPECT_FALSE(changed);
    EXPECT_EQ(turns, 1);
    EXPECT_EQ(owner, parent);
    EXPECT_TRUE(ownerDisabled); // modal to the owner
    EXPECT_TRUE(IsWindowEnabled(parent));
    EXPECT_EQ(title, u"Certificate");
    EXPECT_TRUE(Contains(subject, u"CN=Viewer Test")) << std::string(subject.begin(), subject.end());
    EXPECT_TRUE(Contains(subject, u"O=Quill Org"));
    EXPECT_TRUE(Contains(issuer, u"CN=Viewer Test")); // self-signed
    EXPECT_EQ(serial, u"1a2b3c");
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::string year = std::to_string(utc.tm_year + 1900);
    EXPECT_EQ(validity.substr(0, 4), std::u16string(year.begin(), year.end()));
    EXPECT_TRUE(Contains(validity, u" to "));
    DestroyWindow(parent);
    CertFreeCertificateContext(cert);
}

TEST(CryptUIViewer, RefusesBadRecords)
{
    EXPECT_FALSE(CryptUIDlgViewCertificateW(nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CRYPTUI_VIEWCERTIFICATE_STRUCTW view{sizeof view};
    EXPECT_FALSE(CryptUIDlgViewCertificateW(&view, nullptr)); // no certificate
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}
