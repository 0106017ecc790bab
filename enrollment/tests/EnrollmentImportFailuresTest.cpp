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

// One import call of the page, printed under its label.
std::string SignCall(const std::string& label, int type, const std::string& cert,
                     const std::string& container)
{
    return "attempt(\"" + label + "\", function () { return plugin.Brevan_ImportSignCert(" +
           std::to_string(type) + ", \"" + cert + "\", \"" + container + "\"); });\n";
}

std::string EncryptCall(const std::string& label, const std::u16string& delivery,
                        const std::string& cert, const std::string& container)
{
    return "attempt(\"" + label + "\", function () { return plugin.Brevan_ImportEncryptCert(\"" +
           Utf8(delivery) + "\", \"" + cert + "\", \"" + container + "\", 1); });\n";
}

std::string CertText(EVP_PKEY* key, const CertSpec& spec)
{
    return Utf8(Base64Text(IssueCertificate(key, spec)));
}

Pkey NewKeyLike(const Road& road)
{
    return std::string(road.algorithm) == "SM2" ? NewSm2Key()
                                                : NewRsaKey(road.bits ? road.bits : 2048);
}

class ImportFailures : public EnrollmentPageMachine, public ::testing::WithParamInterface<Road>
{
  protected:
    void SetUp() override
    {
        EnrollmentPageMachine::SetUp();
        // A machine as qmctl makes it, so that the user's stores exist from the start.
        std::string output;
        ASSERT_EQ(
            0, RunCommand(std::string("'") + QM_QMCTL + "' --machine '" + m_dir.string() + "' init",
                          &output))
            << output;
    }

    PageValues Choices(const Road& road)
    {
        return {{"@BITS@", std::to_string(road.bits)},
                {"@PROVIDER@", Utf8(road.provider)},
                {"@ALGORITHM@", road.algorithm}};
    }

    // Runs the import calls on the page.
    std::string RunCalls(const Road& road, const std::string& calls)
    {
        PageValues values = Choices(road);
        values.push_back({"@CALLS@", calls});
        return RunPage("import_calls.js", values);
    }

    // The call must be refused with the text given, and qmctl must report the provider's
    // containers and the MY store as before.
    void ExpectRefusedAndNothingChanged(const Road& road, const std::string& label,
                                        const std::string& call, const std::string& error)
    {
        std::string before = MachineState(road.provider);
        std::string output = RunCalls(road, call);
        EXPECT_EQ("threw", Line(output, label)) << output;
        EXPECT_EQ(error, Line(output, label + "-error")) << output;
        EXPECT_EQ(before, MachineState(road.provider));
    }

    void ExpectDone(const Road& road, const std::string& label, const std::string& call)
    {
        std::string output = RunCalls(road, call);
        EXPECT_EQ("true", Line(output, label)) << output;
    }

    struct Refusal
    {
        const char* name;
        std::u16string delivery;
        std::string certificate;
        const char* error;
    };
    // Each delivery refused with nothing changed; then the good one still goes in, and the
    // container's exchange key is the delivered key.
    void ExpectRefusalsThenTheGoodImport(const Road& road, const Request& request,
                                         const std::vector<Refusal>& refusals,
                                         const std::u16string& goodText,
                                         const Bytes& goodCertificate, EVP_PKEY* deliveredKey)
    {
        for (const Refusal& r : refusals)
        {
            SCOPED_TRACE(r.name);
            ExpectRefusedAndNothingChanged(
                road, "encrypt",
                EncryptCall("encrypt", r.delivery, r.certificate, request.container), r.error);
        }
        ExpectDone(
            road, "encrypt",
            EncryptCall("encrypt", goodText, Utf8(Base64Text(goodCertificate)), request.container));
        Pkey now = PublicKeyOfBlob(PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE));
        EXPECT_TRUE(SamePublicKey(deliveredKey, now.get()));
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
    // After the refusals the same delivery still opens: the temporary key is still there.
    ExpectRefusalsThenTheGoodImport(
        road, request,
        {
            {"certificate text that is not a certificate", good.text, kNotACertificate, kBadTag},
            {"certificate of another key", good.text, CertText(other.get(), spec), kImportFailed},
            {"private key the reader cannot parse",
             RsaDeliveryText(exchange, Bytes(der.begin(), der.begin() + der.size() / 2)),
             Utf8(Base64Text(good.certificate)), kImportFailed},
        },
        good.text, good.certificate, good.key.get());
    // The certificate is in MY linked to the exchange key, or on the token's key.
    std::string state = MachineState(road.provider);
    if (road.provider == kEnhanced)
        EXPECT_NE(std::string::npos,
                  state.find("\t" + Utf8(kEnhanced) + "\t" + request.container + "\t1\n"))
            << state;
    else
        EXPECT_EQ(std::string::npos, state.find(request.container + "\texchange\t" + "-")) << state;
}

INSTANTIATE_TEST_SUITE_P(Providers, EncryptImportFailures,
                         ::testing::Values(Road{"Enhanced2048", kEnhanced, 2048, "RSA"},
                                           Road{"Token1024", kTokenProvider, 1024, "RSA"}),
                         [](const ::testing::TestParamInfo<Road>& info)
                         { return std::string(info.param.name); });

// The token opens the envelope itself: the certificate is checked before it is asked to.
TEST_F(ImportFailures, EnvelopeRoadChecksTheCertificateBeforeTheTokenOpensTheEnvelope)
{
    const Road road{"Sm2", kTokenProvider, 0, "SM2"};
    Request request = RequestPage(Choices(road));
    Bytes exchange = PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE);
    CertSpec spec;
    Sm2Delivery good = MakeSm2Delivery(exchange, spec, false);
    Pkey rsa = NewRsaKey(2048);
    ExpectRefusalsThenTheGoodImport(
        road, request,
        {
            {"certificate text that is not a certificate", good.text, kNotACertificate, kBadTag},
            {"certificate of an RSA key", good.text, CertText(rsa.get(), spec), kImportFailed},
        },
        good.text, good.certificate, good.key.get());
}

TEST_P(SignImportFailures, OnlyTheCertificateOfTheContainersKeyIsBound)
{
    const Road& road = GetParam();
    Request request = RequestPage(Choices(road));
    Pkey signKey = PublicKeyOfBlob(PublicBlob(road.provider, request.wcontainer, AT_SIGNATURE));
    Pkey exchangeKey =
        PublicKeyOfBlob(PublicBlob(road.provider, request.wcontainer, AT_KEYEXCHANGE));
    Pkey other = NewKeyLike(road);
    CertSpec spec;
    const struct
    {
        const char* name;
        std::string certificate;
        const char* error;
    } cases[] = {
        {"certificate text that is not a certificate", kNotACertificate, kBadTag},
        {"certificate of another key", CertText(other.get(), spec), kImportFailed},
        // The container's other key: right container, wrong key spec.
        {"certificate of the exchange key", CertText(exchangeKey.get(), spec), kImportFailed},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ExpectRefusedAndNothingChanged(
            road, "sign", SignCall("sign", 2, c.certificate, request.container), c.error);
    }
    std::string before = MachineState(road.provider);
    ExpectDone(road, "sign", SignCall("sign", 2, CertText(signKey.get(), spec), request.container));
    EXPECT_NE(before, MachineState(road.provider)) << "the right certificate is bound";
}

INSTANTIATE_TEST_SUITE_P(Providers, SignImportFailures,
                         ::testing::Values(Road{"Enhanced", kEnhanced, 2048, "RSA"},
                                           Road{"TokenSm2", kTokenProvider, 0, "SM2"}),
                         [](const ::testing::TestParamInfo<Road>& info)
                         { return std::string(info.param.name); });

// A pair (certificate type 3) that fails deletes both its containers; the store certificates
// it installed go with them, so the machine is as before the pair's requests.
TEST_F(ImportFailures, AFailedPairTakesItsCertificatesWithItsContainers)
{
    const Road road{"Enhanced", kEnhanced, 2048, "RSA"};
    CertSpec spec;
    // An enrollment from before, whose certificate and container must stay.
    Request earlier = RequestPage(Choices(road));
    Pkey earlierKey = PublicKeyOfBlob(PublicBlob(road.provider, earlier.wcontainer, AT_SIGNATURE));
    ExpectDone(road, "sign",
               SignCall("sign", 2, CertText(earlierKey.get(), spec), earlier.container));
    const std::string initial = MachineState(road.provider);
    ASSERT_NE(std::string::npos, initial.find("\t" + earlier.container + "\t2\n")) << initial;
    Pkey other = NewRsaKey(2048);
    const std::string foreign = CertText(other.get(), spec);

    // The failing call after a first half that went in (its certificate in MY, linked to
    // the first container with key spec 1).
    const struct
    {
        const char* name;
        bool secondFails;
        const char* failing;
    } cases[] = {
        {"second half refused", true, "second"},
        {"encryption pair refused after both halves", false, "encrypt"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Request first = RequestPage(Choices(road)), second = RequestPage(Choices(road));
        Pkey firstKey =
            PublicKeyOfBlob(PublicBlob(road.provider, first.wcontainer, AT_KEYEXCHANGE));
        Pkey secondKey =
            PublicKeyOfBlob(PublicBlob(road.provider, second.wcontainer, AT_SIGNATURE));
        std::string calls =
            SignCall("first", 3, CertText(firstKey.get(), spec), first.container) +
            SignCall("second", 3, c.secondFails ? foreign : CertText(secondKey.get(), spec),
                     second.container);
        if (!c.secondFails)
        {
            RsaDelivery delivery = MakeRsaDelivery(
                PublicBlob(road.provider, second.wcontainer, AT_KEYEXCHANGE), 2048, spec);
            calls += EncryptCall("encrypt", delivery.text, foreign, second.container);
        }
        std::string output = RunCalls(road, calls);
        EXPECT_EQ("true", Line(output, "first")) << output;
        EXPECT_EQ(c.secondFails ? "threw" : "true", Line(output, "second")) << output;
        EXPECT_EQ("threw", Line(output, c.failing)) << output;
        EXPECT_EQ(kImportFailed, Line(output, std::string(c.failing) + "-error"));
        EXPECT_EQ(initial, MachineState(road.provider));
    }
}
} // namespace
