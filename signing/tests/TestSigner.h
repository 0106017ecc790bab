// Certificates and keys made with the openssl command for the signing tests, and what the
// tests need to check a signed message: a DER walk and openssl runs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "OpensslFixtures.h"

namespace signing_test
{
using Bytes = std::vector<BYTE>;

// A directory removed with everything in it when the object goes.
class CTempDir
{
public:
    CTempDir();
    ~CTempDir();
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Exit status of a shell command; its output goes to the file given, or is dropped.
int RunCommand(const std::string& command, const std::string& outputFile = "");

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& data);
Bytes TextBytes(const std::string& text);

enum class KeyKind
{
    Rsa2048,
    Sm2
};

// One signer: its key and self-issued certificate as files, and a certificate context over
// the DER laid out as CryptoAPI lays it out (serial least significant byte first).
class CTestSigner
{
public:
    CTestSigner(const CTempDir& dir, KeyKind kind, const std::string& serialHex, const std::string& subject);
    CTestSigner(const CTestSigner&) = delete;
    CTestSigner& operator=(const CTestSigner&) = delete;

    const std::string& KeyPath() const { return m_keyPath; }
    const std::string& CertPath() const { return m_certPath; }
    const Bytes& CertDer() const { return m_certDer; }
    const Bytes& IssuerDer() const { return m_facts.issuerDer; }
    PCCERT_CONTEXT Context() const { return &m_context; }

private:
    std::string m_keyPath;
    std::string m_certPath;
    Bytes m_certDer;
    ossl::CertificateFacts m_facts;
    Bytes m_serialLittleEndian;
    CERT_INFO m_info = {};
    CERT_CONTEXT m_context = {};
};

// One DER element.
struct Tlv
{
    BYTE tag = 0;
    const BYTE* start = nullptr; // the tag byte
    size_t headerLength = 0;
    size_t valueLength = 0;
    const BYTE* Value() const { return start + headerLength; }
    size_t TotalLength() const { return headerLength + valueLength; }
    Bytes Encoded() const { return Bytes(start, start + TotalLength()); }
    Bytes ValueBytes() const { return Bytes(Value(), Value() + valueLength); }
};

// Parses one element at p; false when it does not fit before end or is not minimal DER.
bool ParseTlv(const BYTE* p, const BYTE* end, Tlv& tlv);
// The elements inside a constructed element; empty when they do not exactly fill it.
std::vector<Tlv> Children(const Tlv& parent);

// The parts of a SignedData message in the writers' layout.
struct SignedMessage
{
    Bytes der;
    Tlv contentInfo;
    std::vector<Tlv> outer;      // contentType, [0]
    std::vector<Tlv> signedData; // version, digestAlgorithms, contentInfo, certificates, signerInfos
    std::vector<Tlv> signerInfo; // version, issuerAndSerialNumber, digestAlgorithm, signatureAlgorithm, value

    bool Parse(const Bytes& bytes);
    bool ParseBase64(const std::u16string& text);
};
} // namespace signing_test
