// Real certificates for tests, made by the openssl command at test time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qm::test
{
using Der = std::vector<unsigned char>;

struct CertSpec
{
    std::string subject = "/CN=Test";          // openssl -subj form, may hold multi-valued RDNs (+)
    std::string serial = "0x1001";              // -set_serial
    std::string key = "rsa";                    // rsa, ec or sm2
    std::string digest = "sha256";              // sha1, sha256, sm3
    std::vector<std::string> extensions;        // -addext values
    int days = 365;
    std::string issuerCert;                     // file of the issuing certificate (PEM); empty: self-signed
    std::string issuerKey;
};

class CertFactory
{
public:
    CertFactory();
    ~CertFactory();
    CertFactory(const CertFactory&) = delete;
    CertFactory& operator=(const CertFactory&) = delete;

    // A DER certificate; the PEM certificate and its key stay in the work folder under `name`.
    Der Make(const CertSpec& spec, const std::string& name = "");
    std::filesystem::path Dir() const { return m_dir; }
    std::string PemPath(const std::string& name) const { return (m_dir / (name + ".pem")).string(); }
    std::string KeyPath(const std::string& name) const { return (m_dir / (name + ".key")).string(); }

    // Runs a shell command in the work folder; its standard output, and the exit status.
    static int Run(const std::string& cmd, std::string* pOut = nullptr);
    void WriteFile(const std::string& name, const Der& data) const;
    Der ReadFile(const std::string& name) const;

private:
    std::filesystem::path m_dir;
    int m_count = 0;
};
} // namespace qm::test
