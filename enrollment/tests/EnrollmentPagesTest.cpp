// Whole enrollments as pages do them, through nphost and the enrollment plug-in: the
// request page, the authority (OpenSSL) issuing and delivering, the installation page; then
// what the stores, containers and openssl find.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "DeliveryAuthority.h"
#include "EnrollmentPageMachine.h"
#include "qm/machine.h"
#include "winreg.h"

namespace
{
const char16_t kEnhanced[] = u"Microsoft Enhanced Cryptographic Provider v1.0";
const std::string kPages = QM_ENROLLMENT_PAGES;

// Key spec of the store certificate linked to the container, 0 when it is not in "MY".
DWORD StoreKeySpec(const Bytes& der, const std::u16string& container)
{
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, u"MY");
    DWORD spec = 0;
    for (PCCERT_CONTEXT cert = nullptr; store && (cert = CertEnumCertificatesInStore(store, cert));)
    {
        if (Bytes(cert->pbCertEncoded, cert->pbCertEncoded + cert->cbCertEncoded) != der)
            continue;
        DWORD size = 0;
        if (CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size))
        {
            std::vector<BYTE> buffer(size);
            CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size);
            auto* info = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buffer.data());
            if (info->pwszContainerName && container == info->pwszContainerName)
                spec = info->dwKeySpec;
        }
    }
    if (store)
        CertCloseStore(store, 0);
    return spec;
}

struct Flow
{
    const char* name;
    const char16_t* provider;
    int bits;
    const char* algorithm;
    const char16_t* list;
};

class EnrollmentPages : public EnrollmentPageMachine, public ::testing::WithParamInterface<Flow>
{
  protected:
    std::string PemOfCertificateKey(const Bytes& der)
    {
        auto file = m_dir / "issued.der";
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(der.data()), der.size());
        std::string output;
        EXPECT_EQ(0, RunCommand("openssl x509 -inform DER -noout -pubkey -in '" + file.string() + "'", &output))
            << output;
        return output;
    }

    void SetLanguage(const char16_t* langid)
    {
        qm::SetProcessElevated(true);
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language",
                                                 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
        std::u16string value = langid;
        RegSetValueExW(key, u"InstallLanguage", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * 2));
        RegCloseKey(key);
        qm::SetProcessElevated(false);
    }
};
} // namespace

TEST_P(EnrollmentPages, DoubleCertificateFromRequestToInstallation)
{
    const Flow& flow = GetParam();
    const bool sm2 = std::string(flow.algorithm) == "SM2";
    const std::vector<std::pair<std::string, std::string>> choices = {
        {"@BITS@", std::to_string(flow.bits)},
        {"@PROVIDER@", Utf8(flow.provider)},
        {"@ALGORITHM@", flow.algorithm},
    };

    std::string requestPage = RunPage("request.js", choices);
    EXPECT_EQ("true", Line(requestPage, "csp"));
    EXPECT_EQ("true", Line(requestPage, "alg"));
    EXPECT_NE(std::string::npos, Line(requestPage, "error").find("(0x00000000)"));
    std::string container = Line(requestPage, "container");
    ASSERT_EQ(38u, container.size()) << requestPage;
    std::string request = Replaced(Line(requestPage, "request"), {{"|", "\r\n"}});
    // openssl's request reader does not take the attributes of a double request; its
    // signature is checked on its own.
    Bytes requestDer = RequestDer(request);
    OpensslVerifySignature(requestDer, sm2);

    // The authority issues the signing certificate for the request's key and delivers the
    // encryption pair under the temporary exchange key.
    std::u16string wcontainer(container.begin(), container.end());
    Pkey signKey = PublicKeyOfBlob(PublicBlob(flow.provider, wcontainer, AT_SIGNATURE));
    CertSpec spec;
    spec.commonName = "Page User";
    Bytes signCert = IssueCertificate(signKey.get(), spec);
    Bytes keyBits = PublicKeyBits(signKey.get());
    EXPECT_NE(requestDer.end(), std::search(requestDer.begin(), requestDer.end(), keyBits.begin(), keyBits.end()))
        << "the request carries the signing key";
    EXPECT_NE(std::string::npos, PemOfCertificateKey(signCert).find("BEGIN PUBLIC KEY"));
    Bytes exchangeBlob = PublicBlob(flow.provider, wcontainer, AT_KEYEXCHANGE);
    spec.serial = {0x0E, 0x0C};
    std::u16string delivery, encCertText;
    Pkey deliveredKey;
    Bytes encCert;
    if (sm2)
    {
        Sm2Delivery d = MakeSm2Delivery(exchangeBlob, spec, true);
        delivery = d.text;
        encCert = d.certificate;
        deliveredKey = std::move(d.key);
    }
    else
    {
        RsaDelivery d = MakeRsaDelivery(exchangeBlob, flow.bits, spec);
        delivery = d.text;
        encCert = d.certificate;
        deliveredKey = std::move(d.key);
    }

    std::vector<std::pair<std::string, std::string>> values = choices;
    values.insert(values.end(), {{"@SIGNCERT@", Utf8(Base64Text(signCert))},
                                 {"@ENCCERT@", Utf8(Base64Text(encCert))},
                                 {"@DELIVERY@", Utf8(delivery)},
                                 {"@CONTAINER@", container},
                                 {"@LIST@", Utf8(flow.list)}});
    std::string installPage = RunPage("install.js", values);
    EXPECT_EQ("true", Line(installPage, "sign")) << installPage;
    EXPECT_EQ("true", Line(installPage, "encrypt")) << installPage;
    EXPECT_NE(std::string::npos, Line(installPage, "error").find("(0x00000000)"));
    EXPECT_EQ(container, Line(installPage, "container"));
    std::vector<std::string> records = Lines(installPage, "record");
    ASSERT_EQ(2u, records.size()) << installPage;
    for (const std::string& record : records)
    {
        EXPECT_NE(std::string::npos, record.find("CN=Page User")) << record;
        EXPECT_NE(std::string::npos, record.find(";" + Utf8(flow.provider))) << record;
    }
    EXPECT_NE(std::string::npos, installPage.find(";0e0c;")) << "the encryption certificate is listed";

    // The container's exchange key is now the delivered one, and each certificate is bound
    // to its key.
    Pkey exchangeNow = PublicKeyOfBlob(PublicBlob(flow.provider, wcontainer, AT_KEYEXCHANGE));
    EXPECT_TRUE(SamePublicKey(deliveredKey.get(), exchangeNow.get()));
    if (sm2)
    {
        EXPECT_EQ(signCert, KeyCertificate(flow.provider, wcontainer, AT_SIGNATURE));
        EXPECT_EQ(encCert, KeyCertificate(flow.provider, wcontainer, AT_KEYEXCHANGE));
    }
    else
    {
        EXPECT_EQ(DWORD(AT_SIGNATURE), StoreKeySpec(signCert, wcontainer));
        EXPECT_EQ(DWORD(AT_KEYEXCHANGE), StoreKeySpec(encCert, wcontainer));
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, EnrollmentPages,
                         ::testing::Values(Flow{"RsaSoftwareRoad", kEnhanced, 2048, "RSA", u""},
                                           Flow{"Sm2EnvelopeRoad", kTokenProvider, 0, "SM2", kTokenProvider}),
                         [](const ::testing::TestParamInfo<Flow>& info) { return std::string(info.param.name); });

class SingleRequestPage : public EnrollmentPages
{
};

// Subjects whose PrintableString and IA5String values hold characters outside those
// alphabets: Windows' encoder writes them as given, so the request is written.
TEST_F(SingleRequestPage, SubjectValuesOutsideTheirAlphabetsAreWritten)
{
    const struct
    {
        const char* subject;
        const char* subjectLine; // as `openssl req -subject` prints it (bytes read as Latin-1)
        const char* asn1;        // as `openssl asn1parse` prints the value
    } cases[] = {
        {"CN=Serial,SERIALNUMBER=ID_123", "subject=serialNumber = ID_123, CN = Serial", "PRINTABLESTRING   :ID_123"},
        {"CN=Page User,C=C\u00e4", "subject=C = C\\C3\\83\\C2\\A4, CN = Page User", "PRINTABLESTRING   :C\xC3\xA4"},
        {"E=\u00e4@b.cn", "subject=emailAddress = \\C3\\83\\C2\\A4@b.cn", "IA5STRING         :\xC3\xA4@b.cn"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.subject);
        std::string page = RunPage("single_request.js",
                                   {{"@BITS@", "1024"}, {"@PROVIDER@", Utf8(kEnhanced)}, {"@SUBJECT@", c.subject}});
        EXPECT_EQ("true", Line(page, "csp"));
        EXPECT_NE(std::string::npos, Line(page, "error").find("(0x00000000)")) << page;
        Bytes der = RequestDer(Replaced(Line(page, "request"), {{"|", "\r\n"}}));
        std::string printed = OpensslVerify(der, false);
        EXPECT_NE(std::string::npos, printed.find(c.subjectLine)) << printed;
        std::string parsed = OpensslAsn1Parse(der);
        EXPECT_NE(std::string::npos, parsed.find(c.asn1)) << parsed;
    }
}

class EnrollmentErrorPage : public EnrollmentPages
{
};

TEST_F(EnrollmentErrorPage, RefusalsAndTheirTextsInBothLanguages)
{
    for (const auto& [langid, expected] : {std::pair<const char16_t*, const char*>{u"0409", "errors.en.out"},
                                           {u"0804", "errors.zh.out"}})
    {
        SetLanguage(langid);
        std::string output = RunPage("errors.js", {});
        EXPECT_EQ(ReadText(kPages + "/" + expected), output) << expected;
    }
}
