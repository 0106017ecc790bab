#include "cert_factory.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace qm::test
{
CertFactory::CertFactory()
{
    std::random_device rd;
    m_dir = std::filesystem::temp_directory_path() / ("qm-certs-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(m_dir);
}

CertFactory::~CertFactory()
{
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

int CertFactory::Run(const std::string& cmd, std::string* pOut)
{
    FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
    if (!p)
        return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int rc = pclose(p);
    if (pOut)
        *pOut = out;
    return rc;
}

namespace
{
std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
} // namespace

Der CertFactory::Make(const CertSpec& spec, const std::string& nameIn)
{
    std::string name = nameIn.empty() ? "c" + std::to_string(++m_count) : nameIn;
    std::string key = KeyPath(name), pem = PemPath(name), der = (m_dir / (name + ".der")).string();
    std::string genkey;
    if (spec.key == "rsa")
        genkey = "openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out " + key;
    else if (spec.key == "ec")
        genkey = "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " + key;
    else
        genkey = "openssl genpkey -algorithm SM2 -out " + key;
    if (Run(genkey) != 0)
        throw std::runtime_error("key generation failed: " + genkey);

    std::string ext;
    for (const auto& e : spec.extensions)
        ext += " -addext " + Quote(e);
    std::string cmd;
    if (spec.issuerCert.empty())
    {
        cmd = "openssl req -x509 -new -key " + key + " -" + spec.digest + " -subj " + Quote(spec.subject) +
              " -multivalue-rdn -utf8 -set_serial " + spec.serial + " -days " + std::to_string(spec.days) +
              " -config /dev/null" + ext + " -out " + pem;
    }
    else
    {
        std::string csr = (m_dir / (name + ".csr")).string();
        std::string extFile = (m_dir / (name + ".ext")).string();
        std::ofstream(extFile) << [&] {
            std::string t;
            for (const auto& e : spec.extensions)
                t += e + "\n";
            return t;
        }();
        cmd = "openssl req -new -key " + key + " -subj " + Quote(spec.subject) +
              " -multivalue-rdn -utf8 -config /dev/null -out " + csr + " && openssl x509 -req -in " + csr +
              " -CA " + spec.issuerCert + " -CAkey " + spec.issuerKey + " -" + spec.digest + " -set_serial " +
              spec.serial + " -days " + std::to_string(spec.days) + " -extfile " + extFile + " -out " + pem;
    }
    if (Run(cmd) != 0)
        throw std::runtime_error("certificate failed: " + cmd);
    if (Run("openssl x509 -in " + pem + " -outform DER -out " + der) != 0)
        throw std::runtime_error("DER conversion failed");
    return ReadFile(name + ".der");
}

void CertFactory::WriteFile(const std::string& name, const Der& data) const
{
    std::ofstream f(m_dir / name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Der CertFactory::ReadFile(const std::string& name) const
{
    std::ifstream f(m_dir / name, std::ios::binary);
    return Der(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
} // namespace qm::test
