// A fresh machine with the platform's software CSPs and a SoftHSM2 token behind the token's
// CSP, and the openssl checks of the requests written on it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "qm/machine.h" // tests on the fixture set up more of the machine

using Bytes = std::vector<BYTE>;

inline const char16_t kTokenProvider[] = u"Pellix Smart Token CSP v1.0";

class RequestMachine : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // True when the container opens in the provider (no container is created).
    static bool ContainerExists(const char16_t* provider, const std::u16string& container);
    // The key of a specification in the container, or 0 when there is none.
    static bool HasKey(const char16_t* provider, const std::u16string& container, DWORD keySpec);
    // The container key's PUBLICKEYBLOB; the container and key must exist.
    static Bytes PublicBlob(const char16_t* provider, const std::u16string& container, DWORD keySpec);
    // The certificate on the container's key (KP_CERTIFICATE), empty when there is none; the
    // container must exist.
    static Bytes KeyCertificate(const char16_t* provider, const std::u16string& container,
                                DWORD keySpec);

    // The DER of a request text (CR LF every 64 characters), with its form checked.
    static Bytes RequestDer(const std::string& base64);
    // `openssl req -verify` of the DER request; sm2 adds the SM2 distinguishing id. Single
    // certificate requests only: openssl's request reader refuses the attributes of a double
    // certificate request (OpensslVerifySignature checks those). Returns
    // the command's text output (subject and key printed) or fails the test.
    std::string OpensslVerify(const Bytes& der, bool sm2);
    // The signature over the CertificationRequestInfo checked with `openssl dgst -verify`
    // against the request's own public key; for requests whose attributes openssl's request
    // reader does not take (values written without their SET).
    void OpensslVerifySignature(const Bytes& der, bool sm2);
    // `openssl asn1parse` output of the DER.
    std::string OpensslAsn1Parse(const Bytes& der);

    std::filesystem::path m_dir;
};

// Runs a shell command; the exit status and the merged output.
int RunCommand(const std::string& command, std::string* output);
