// A fresh machine per test and certificates made by openssl.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "cert_factory.h"
#include "qm/machine.h"
#include "winbase.h"
#include "wincrypt.h"
#include "winreg.h"

constexpr DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// Bytes as upper-case hex, as thumbprints are written in the registry.
inline std::string Hex(const BYTE* p, size_t n)
{
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += {d[p[i] >> 4], d[p[i] & 15]};
    return s;
}

// The records of a system store's Blob by property id; false when they do not fill it exactly.
inline bool BlobRecords(const std::vector<BYTE>& blob, std::map<DWORD, std::vector<BYTE>>& out)
{
    size_t pos = 0;
    while (pos + 12 <= blob.size())
    {
        DWORD id, one, len;
        std::memcpy(&id, &blob[pos], 4);
        std::memcpy(&one, &blob[pos + 4], 4);
        std::memcpy(&len, &blob[pos + 8], 4);
        if (one != 1 || pos + 12 + len > blob.size())
            return false;
        out[id].assign(blob.begin() + long(pos) + 12, blob.begin() + long(pos + 12 + len));
        pos += 12 + len;
    }
    return pos == blob.size();
}

class CryptTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_factory = std::make_unique<qm::test::CertFactory>(); }
    static void TearDownTestSuite() { s_factory.reset(); }

    void SetUp() override
    {
        std::random_device rd;
        m_dir = std::filesystem::temp_directory_path() / ("qm-crypt-" + std::to_string(rd()) + std::to_string(rd()));
        qm::SetMachineDirectory(m_dir);
        qm::SetProcessElevated(false);
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    static qm::test::CertFactory& Factory() { return *s_factory; }
    static qm::test::Der Make(const std::string& subject, const std::string& serial = "0x1001")
    {
        qm::test::CertSpec spec;
        spec.subject = subject;
        spec.serial = serial;
        return s_factory->Make(spec);
    }
    static PCCERT_CONTEXT Context(const qm::test::Der& der)
    {
        return CertCreateCertificateContext(kEnc, der.data(), static_cast<DWORD>(der.size()));
    }
    static int Count(HCERTSTORE store)
    {
        int n = 0;
        PCCERT_CONTEXT c = nullptr;
        while ((c = CertEnumCertificatesInStore(store, c)) != nullptr)
            ++n;
        return n;
    }

    std::filesystem::path m_dir;
    static inline std::unique_ptr<qm::test::CertFactory> s_factory;
};
