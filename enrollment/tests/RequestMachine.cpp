#include "RequestMachine.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "Base64Encoding.h"
#include "qm/csp_registration.h"
#include "qm/machine.h"
#include "winreg.h"

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output->append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void RequestMachine::SetUp()
{
    m_dir = std::filesystem::temp_directory_path() /
            ("qm-enroll-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir / "tokens");
    qm::SetMachineDirectory(m_dir);

    std::ofstream(m_dir / "softhsm2.conf")
        << "directories.tokendir = " << (m_dir / "tokens").string()
        << "\nobjectstore.backend = file\nlog.level = ERROR\n";
    std::string init =
        "SOFTHSM2_CONF=" + (m_dir / "softhsm2.conf").string() +
        " softhsm2-util --init-token --free --label QMTOKEN --so-pin 87654321 --pin 123456"
        " >/dev/null 2>&1";
    ASSERT_EQ(0, std::system(init.c_str()));
    ::setenv("SOFTHSM2_CONF", (m_dir / "softhsm2.conf").c_str(), 1);
    // The vendor's PKCS#11 library by its Windows name, in the machine's system folder.
    auto system32 = m_dir / "drive_c" / "Windows" / "System32";
    std::filesystem::create_directories(system32);
    std::filesystem::create_symlink(QM_SOFTHSM2_LIB, system32 / "PellixCSP11_5150.dll");

    qm::SetProcessElevated(true);
    ASSERT_EQ(ERROR_SUCCESS,
              qm::RegisterCryptProvider(kTokenProvider, QM_TOKENCSP_PATH, PROV_RSA_FULL));
    ASSERT_EQ(ERROR_SUCCESS, qm::RegisterPlatformCryptProviders(QM_RSAENH_PATH));
    HKEY key = nullptr;
    std::u16string path = std::u16string(u"SOFTWARE\\Quillmark\\TokenCSP\\") + kTokenProvider;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &key, nullptr));
    auto set = [&](const char16_t* name, const std::u16string& value)
    {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * 2));
    };
    set(u"PKCS11Library", u"PellixCSP11_5150.dll");
    set(u"TokenLabel", u"QMTOKEN");
    set(u"PIN", u"123456");
    RegCloseKey(key);
    qm::SetProcessElevated(false);
}

void RequestMachine::TearDown()
{
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

namespace
{
bool OpenContainer(const char16_t* provider, const std::u16string& container, HCRYPTPROV* h)
{
    DWORD type = std::u16string(provider) == MS_ENH_RSA_AES_PROV_W ? PROV_RSA_AES : PROV_RSA_FULL;
    return CryptAcquireContextW(h, container.c_str(), provider, type, 0);
}

// A key parameter or export in the two calls of CryptoAPI: the size, then the bytes.
template <typename Read> Bytes ReadSized(Read read)
{
    DWORD size = 0;
    Bytes data;
    if (read(nullptr, &size))
    {
        data.resize(size);
        if (read(data.data(), &size))
            data.resize(size);
        else
            data.clear();
    }
    return data;
}
} // namespace

bool RequestMachine::ContainerExists(const char16_t* provider, const std::u16string& container)
{
    HCRYPTPROV h = 0;
    if (!OpenContainer(provider, container, &h))
        return false;
    CryptReleaseContext(h, 0);
    return true;
}

bool RequestMachine::HasKey(const char16_t* provider, const std::u16string& container,
                            DWORD keySpec)
{
    HCRYPTPROV h = 0;
    if (!OpenContainer(provider, container, &h))
        return false;
    HCRYPTKEY k = 0;
    bool has = CryptGetUserKey(h, keySpec, &k);
    if (has)
        CryptDestroyKey(k);
    CryptReleaseContext(h, 0);
    return has;
}

Bytes RequestMachine::PublicBlob(const char16_t* provider, const std::u16string& container,
                                 DWORD keySpec)
{
    HCRYPTPROV h = 0;
    EXPECT_TRUE(OpenContainer(provider, container, &h)) << std::hex << GetLastError();
    HCRYPTKEY key = 0;
    EXPECT_TRUE(CryptGetUserKey(h, keySpec, &key)) << std::hex << GetLastError();
    Bytes blob = ReadSized([&](BYTE* data, DWORD* size)
                           { return CryptExportKey(key, 0, PUBLICKEYBLOB, 0, data, size); });
    EXPECT_FALSE(blob.empty()) << std::hex << GetLastError();
    if (key)
        CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
    return blob;
}

Bytes RequestMachine::KeyCertificate(const char16_t* provider, const std::u16string& container,
                                     DWORD keySpec)
{
    HCRYPTPROV h = 0;
    EXPECT_TRUE(OpenContainer(provider, container, &h)) << std::hex << GetLastError();
    HCRYPTKEY key = 0;
    Bytes cert;
    if (CryptGetUserKey(h, keySpec, &key))
    {
        cert = ReadSized([&](BYTE* data, DWORD* size)
                         { return CryptGetKeyParam(key, KP_CERTIFICATE, data, size, 0); });
        CryptDestroyKey(key);
    }
    CryptReleaseContext(h, 0);
    return cert;
}

Bytes RequestMachine::RequestDer(const std::string& base64)
{
    // CR LF after every 64 characters, never at the end.
    size_t at = 0;
    while (at < base64.size())
    {
        size_t line = base64.find("\r\n", at);
        if (line == std::string::npos)
        {
            EXPECT_LE(base64.size() - at, 64u);
            EXPECT_GT(base64.size() - at, 0u);
            break;
        }
        EXPECT_EQ(64u, line - at) << "line at " << at;
        at = line + 2;
        EXPECT_LT(at, base64.size()) << "text ends in CR LF";
    }
    BYTE* pb = nullptr;
    DWORD cb = 0;
    EXPECT_EQ(S_OK, Base64DecodeEx(static_cast<int>(base64.size()), &pb, base64.c_str(), &cb));
    Bytes der(pb, pb + cb);
    delete[] pb;
    return der;
}

std::string RequestMachine::OpensslVerify(const Bytes& der, bool sm2)
{
    auto file = m_dir / "request.der";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(der.data()), der.size());
    std::string command =
        "openssl req -inform DER -in '" + file.string() + "' -verify -noout -subject -pubkey";
    if (sm2)
        command += " -vfyopt distid:1234567812345678";
    std::string output;
    int rc = RunCommand(command, &output);
    EXPECT_EQ(0, rc) << command << "\n" << output;
    EXPECT_NE(std::string::npos, output.find("verify OK")) << output;
    return output;
}

namespace
{
// Offset and total size of the TLV at `at`.
size_t TlvSize(const Bytes& der, size_t at)
{
    EXPECT_LT(at + 1, der.size());
    size_t length = der[at + 1], header = 2;
    if (length & 0x80)
    {
        size_t n = length & 0x7F;
        length = 0;
        for (size_t i = 0; i < n; ++i)
            length = (length << 8) | der.at(at + 2 + i);
        header += n;
    }
    return header + length;
}

size_t HeaderSize(const Bytes& der, size_t at)
{
    return (der.at(at + 1) & 0x80) ? 2 + (der[at + 1] & 0x7F) : 2;
}

void WriteFile(const std::filesystem::path& path, const Bytes& data)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), data.size());
}
} // namespace

void RequestMachine::OpensslVerifySignature(const Bytes& der, bool sm2)
{
    // CertificationRequest { info, algorithm, BIT STRING signature }
    const size_t info = HeaderSize(der, 0);
    const size_t infoSize = TlvSize(der, info);
    const size_t algorithm = info + infoSize;
    const size_t signature = algorithm + TlvSize(der, algorithm);
    ASSERT_EQ(der.size(), signature + TlvSize(der, signature));
    ASSERT_EQ(0x03, der[signature]);
    const size_t bits = signature + HeaderSize(der, signature);
    ASSERT_EQ(0x00, der[bits]);
    // info { version, subject, SubjectPublicKeyInfo, ... }
    size_t at = info + HeaderSize(der, info);
    at += TlvSize(der, at);
    at += TlvSize(der, at);
    const size_t keyInfoSize = TlvSize(der, at);

    WriteFile(m_dir / "info.der", Bytes(der.begin() + info, der.begin() + info + infoSize));
    WriteFile(m_dir / "key.der", Bytes(der.begin() + at, der.begin() + at + keyInfoSize));
    WriteFile(m_dir / "signature.bin", Bytes(der.begin() + bits + 1, der.end()));
    std::string command = std::string("openssl dgst ") + (sm2 ? "-sm3" : "-sha1") +
                          " -keyform DER -verify '" + (m_dir / "key.der").string() +
                          "' -signature '" + (m_dir / "signature.bin").string() + "'";
    if (sm2)
        command += " -sigopt distid:1234567812345678";
    command += " '" + (m_dir / "info.der").string() + "'";
    std::string output;
    EXPECT_EQ(0, RunCommand(command, &output)) << command << "\n" << output;
    EXPECT_NE(std::string::npos, output.find("Verified OK")) << output;
}

std::string RequestMachine::OpensslAsn1Parse(const Bytes& der)
{
    auto file = m_dir / "request.der";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(der.data()), der.size());
    std::string output;
    EXPECT_EQ(0,
              RunCommand("openssl asn1parse -inform DER -i -in '" + file.string() + "'", &output))
        << output;
    return output;
}
