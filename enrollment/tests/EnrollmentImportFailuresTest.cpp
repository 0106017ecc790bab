// Imports that fail leave the machine as it was. Each case runs a page whose import is
// refused, reads the code and text the page then gets, and compares qmctl's report of the
// containers, their keys and the MY store with the report from before the call; the good
// import still works afterwards.
#include <gtest/gtest.h>

#include "DeliveryAuthority.h"
#include "EnrollmentPageMachine.h"

namespace
{
const char16_t kEnhanced[] = u"Microsoft Enhanced Cryptographic Provider v1.0";
// GetLastErrorDesc as the page's JSON.stringify prints it.
const char kImportFailed[] = "\"Import encrypt certificate failed.\\n(0xa0071403)\"";
const char kBadTag[] = "\"ASN1 bad tag value met.\\r\\n\\n(0x8009310b)\"";

// 30 03 02 01 05: one DER SEQUENCE, but no certificate.
const std::string kNotACertificate = "MAMCAQU=";

struct Road
{
    const char* name;
    const char16_t* provider;
    int bits;
    const char* algorithm;
};

Pkey NewKeyLike(const Road& road)
{
    return std::string(road.algorithm) == "SM2" ? NewSm2Key() : NewRsaKey(road.bits ? road.bits : 2048);
}

class ImportFailures : public EnrollmentPageMachine, public ::testing::WithParamInterface<Road>
{
protected:
    void SetUp() override
    {
        EnrollmentPageMachine::SetUp();
        // A machine as qmctl makes it, so that the user's stores exist from the start.
        std::string output;
        ASSERT_EQ(0, RunCommand(std::string("'") + QM_QMCTL + "' --machine '" + m_dir.string() + "' init", &output))
            << output;
    }

    PageValues Choices(const Road& road)
    {
        return {{"@BITS@", std::to_string(road.bits)},
                {"@PROVIDER@", Utf8(road.provider)},
                {"@ALGORITHM@", road.algorithm}};
    }

    // Runs the page; the call `label` must be refused with the text given, and qmctl must
    // report the provider's containers and the MY store as before.
    void ExpectRefusedAndNothingChanged(const Road& road, const std::string& page, PageValues values,
                                        const std::string& label, const std::string& error)
    {
        std::string before = MachineState(road.provider);
        PageValues all = Choices(road);
        all.insert(all.end(), values.begin(), values.end());
        std::string output = RunPage(page, all);
        EXPECT_EQ("threw", Line(output, label)) << output;
        EXPECT_EQ(error, Line(output, label + "-error")) << output;
        EXPECT_EQ(before, MachineState(road.provider));
    }

    std::string RunOk(const Road& road, const std::string& page, PageValues values, const std::string& label)
    {
        PageValues all = Choices(road);
        all.insert(all.end(), values.begin(), values.end());
        std::string output = RunPage(page, all);
        EXPECT_EQ("true", Line(output, label)) << output;
        return output;
    }
};

using EncryptImportFailures = ImportFailures;
using SignImportFailures = ImportFailures;

// The plug-in opens the delivery itself and imports the plain key, which replaces the
// temporary key that opens the delivery: nothing may be written before all is checked.
TEST_P(EncryptImportFailures, SoftwareRoadChecksTheDeliveryBeforeTheContainerChanges)
{
    const Road& road = GetParam();
    Request request = RequestPage(Choices(road));
    Bytes exchange = PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE);
    CertSpec spec;
    RsaDelivery good = MakeRsaDelivery(exchange, road.bits, spec);
    Pkey other = NewRsaKey(road.bits);
    Bytes der = PrivateKeyBytes(good.key.get());
    const struct
    {
        const char* name;
        std::u16string delivery;
        std::string certificate;
        const char* error;
    } cases[] = {
        {"certificate text that is not a certificate", good.text, kNotACertificate, kBadTag},
        {"certificate of another key", good.text, Utf8(Base64Text(IssueCertificate(other.get(), spec))),
         kImportFailed},
        {"private key the reader cannot parse", RsaDeliveryText(exchange, Bytes(der.begin(), der.begin() + der.size() / 2)),
         Utf8(Base64Text(good.certificate)), kImportFailed},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ExpectRefusedAndNothingChanged(road, "encrypt_import.js",
                                       {{"@DELIVERY@", Utf8(c.delivery)},
                                        {"@ENCCERT@", c.certificate},
                                        {"@CONTAINER@", request.container}},
                                       "encrypt", c.error);
    }

    // The same delivery still opens: the temporary key is still there.
    RunOk(road, "encrypt_import.js",
          {{"@DELIVERY@", Utf8(good.text)},
           {"@ENCCERT@", Utf8(Base64Text(good.certificate))},
           {"@CONTAINER@", request.container}},
          "encrypt");
    Pkey now = PublicKeyOfBlob(PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE));
    EXPECT_TRUE(SamePublicKey(good.key.get(), now.get()));
    // The certificate is in MY linked to the exchange key, or on the token's key.
    std::string state = MachineState(road.provider);
    if (road.provider == kEnhanced)
        EXPECT_NE(std::string::npos, state.find("\t" + Utf8(kEnhanced) + "\t" + request.container + "\t1\n")) << state;
    else
        EXPECT_EQ(std::string::npos, state.find(request.container + "\texchange\t" + "-")) << state;
}

INSTANTIATE_TEST_SUITE_P(Providers, EncryptImportFailures,
                         ::testing::Values(Road{"Enhanced2048", kEnhanced, 2048, "RSA"},
                                           Road{"Token1024", kTokenProvider, 1024, "RSA"}),
                         [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

// The token opens the envelope itself: the certificate is checked before it is asked to.
TEST_F(ImportFailures, EnvelopeRoadChecksTheCertificateBeforeTheTokenOpensTheEnvelope)
{
    const Road road{"Sm2", kTokenProvider, 0, "SM2"};
    Request request = RequestPage(Choices(road));
    Bytes exchange = PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE);
    CertSpec spec;
    Sm2Delivery good = MakeSm2Delivery(exchange, spec, false);
    Pkey rsa = NewRsaKey(2048);
    const struct
    {
        const char* name;
        std::string certificate;
        const char* error;
    } cases[] = {
        {"certificate text that is not a certificate", kNotACertificate, kBadTag},
        {"certificate of an RSA key", Utf8(Base64Text(IssueCertificate(rsa.get(), spec))), kImportFailed},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ExpectRefusedAndNothingChanged(road, "encrypt_import.js",
                                       {{"@DELIVERY@", Utf8(good.text)},
                                        {"@ENCCERT@", c.certificate},
                                        {"@CONTAINER@", request.container}},
                                       "encrypt", c.error);
    }
    RunOk(road, "encrypt_import.js",
          {{"@DELIVERY@", Utf8(good.text)},
           {"@ENCCERT@", Utf8(Base64Text(good.certificate))},
           {"@CONTAINER@", request.container}},
          "encrypt");
    Pkey now = PublicKeyOfBlob(PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE));
    EXPECT_TRUE(SamePublicKey(good.key.get(), now.get()));
}

TEST_P(SignImportFailures, OnlyTheCertificateOfTheContainersKeyIsBound)
{
    const Road& road = GetParam();
    Request request = RequestPage(Choices(road));
    Pkey signKey = PublicKeyOfBlob(PublicBlob(road.provider, request.wcontainer, AT_SIGNATURE));
    Pkey exchangeKey = PublicKeyOfBlob(PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE));
    Pkey other = NewKeyLike(road);
    CertSpec spec;
    const struct
    {
        const char* name;
        std::string certificate;
        const char* error;
    } cases[] = {
        {"certificate text that is not a certificate", kNotACertificate, kBadTag},
        {"certificate of another key", Utf8(Base64Text(IssueCertificate(other.get(), spec))), kImportFailed},
        // The container's other key: right container, wrong key spec.
        {"certificate of the exchange key", Utf8(Base64Text(IssueCertificate(exchangeKey.get(), spec))),
         kImportFailed},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ExpectRefusedAndNothingChanged(road, "sign_import.js",
                                       {{"@TYPE@", "2"}, {"@SIGNCERT@", c.certificate},
                                        {"@CONTAINER@", request.container}},
                                       "sign", c.error);
    }
    std::string before = MachineState(road.provider);
    RunOk(road, "sign_import.js",
          {{"@TYPE@", "2"},
           {"@SIGNCERT@", Utf8(Base64Text(IssueCertificate(signKey.get(), spec)))},
           {"@CONTAINER@", request.container}},
          "sign");
    EXPECT_NE(before, MachineState(road.provider)) << "the right certificate is bound";
}

INSTANTIATE_TEST_SUITE_P(Providers, SignImportFailures,
                         ::testing::Values(Road{"Enhanced", kEnhanced, 2048, "RSA"},
                                           Road{"TokenSm2", kTokenProvider, 0, "SM2"}),
                         [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

// A pair (certificate type 3) that fails deletes both its containers; the store certificates
// it installed go with them, so the machine is as before the pair's requests.
TEST_F(ImportFailures, AFailedPairTakesItsCertificatesWithItsContainers)
{
    const Road road{"Enhanced", kEnhanced, 2048, "RSA"};
    CertSpec spec;
    // An enrollment from before, whose certificate and container must stay.
    Request earlier = RequestPage(Choices(road));
    Pkey earlierKey = PublicKeyOfBlob(PublicBlob(road.provider, earlier.wcontainer, AT_SIGNATURE));
    RunOk(road, "sign_import.js",
          {{"@TYPE@", "2"},
           {"@SIGNCERT@", Utf8(Base64Text(IssueCertificate(earlierKey.get(), spec)))},
           {"@CONTAINER@", earlier.container}},
          "sign");
    const std::string initial = MachineState(road.provider);
    ASSERT_NE(std::string::npos, initial.find("\t" + earlier.container + "\t2\n")) << initial;
    Pkey other = NewRsaKey(2048);
    const std::string foreign = Utf8(Base64Text(IssueCertificate(other.get(), spec)));

    // The second half is refused.
    {
        Request first = RequestPage(Choices(road)), second = RequestPage(Choices(road));
        Pkey firstKey = PublicKeyOfBlob(PublicBlob(road.provider, first.wcontainer, AT_KEYEXCHANGE));
        std::string output = RunOk(road, "pair_import.js",
                                   {{"@FIRSTCERT@", Utf8(Base64Text(IssueCertificate(firstKey.get(), spec)))},
                                    {"@FIRST@", first.container},
                                    {"@SECONDCERT@", foreign},
                                    {"@SECOND@", second.container},
                                    {"@DELIVERY@", ""}},
                                   "first");
        EXPECT_EQ("threw", Line(output, "second")) << output;
        EXPECT_EQ(kImportFailed, Line(output, "second-error"));
        EXPECT_EQ(initial, MachineState(road.provider));
    }
    // Both halves go in, then the encryption pair is refused.
    {
        Request first = RequestPage(Choices(road)), second = RequestPage(Choices(road));
        Pkey firstKey = PublicKeyOfBlob(PublicBlob(road.provider, first.wcontainer, AT_KEYEXCHANGE));
        Pkey secondKey = PublicKeyOfBlob(PublicBlob(road.provider, second.wcontainer, AT_SIGNATURE));
        RsaDelivery delivery =
            MakeRsaDelivery(PublicBlob(road.provider, second.wcontainer, AT_KEYEXCHANGE), 2048, spec);
        std::string output = RunOk(road, "pair_import.js",
                                   {{"@FIRSTCERT@", Utf8(Base64Text(IssueCertificate(firstKey.get(), spec)))},
                                    {"@FIRST@", first.container},
                                    {"@SECONDCERT@", Utf8(Base64Text(IssueCertificate(secondKey.get(), spec)))},
                                    {"@SECOND@", second.container},
                                    {"@DELIVERY@", Utf8(delivery.text)},
                                    {"@ENCCERT@", foreign}},
                                   "second");
        EXPECT_EQ("threw", Line(output, "encrypt")) << output;
        EXPECT_EQ(kImportFailed, Line(output, "encrypt-error"));
        EXPECT_EQ(initial, MachineState(road.provider));
    }
}
} // namespace
