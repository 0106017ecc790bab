// A fresh machine whose token is a SoftHSM2 token in the test's own directory, with the
// token's provider registered under the provider key as a vendor's CSP is.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "qm/csp_registration.h"
#include "qm/machine.h"
#include "windows.h"
#include "wincrypt.h"
#include "winreg.h"

using Bytes = std::vector<uint8_t>;

inline const char16_t kTokenProvider[] = u"Pellix Smart Token CSP v1.0";
inline const char kTokenProviderA[] = "Pellix Smart Token CSP v1.0";

class TokenTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-token-" + std::to_string(::getpid()) + "-" +
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
        // The vendor's PKCS#11 library by its Windows name, in the machine's system folder.
        auto system32 = m_dir / "drive_c" / "Windows" / "System32";
        std::filesystem::create_directories(system32);
        std::filesystem::create_symlink(QM_SOFTHSM2_LIB, system32 / "PellixCSP11_5150.dll");

        qm::SetProcessElevated(true);
        ASSERT_EQ(ERROR_SUCCESS,
                  qm::RegisterCryptProvider(kTokenProvider, QM_TOKENCSP_PATH, PROV_RSA_FULL));
        ASSERT_EQ(ERROR_SUCCESS, qm::RegisterPlatformCryptProviders(QM_RSAENH_PATH));
        Configure(u"QMTOKEN", u"123456");
        qm::SetProcessElevated(false);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    static void Configure(const std::u16string& label, const std::u16string& pin)
    {
        qm::SetProcessElevated(true);
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
        set(u"TokenLabel", label);
        set(u"PIN", pin);
        RegCloseKey(key);
        qm::SetProcessElevated(false);
    }

    static HCRYPTPROV Open(const char16_t* container, DWORD flags)
    {
        HCRYPTPROV h = 0;
        EXPECT_TRUE(CryptAcquireContextW(&h, container, kTokenProvider, PROV_RSA_FULL, flags))
            << std::hex << GetLastError();
        return h;
    }
    static DWORD OpenError(const char16_t* container, DWORD flags)
    {
        HCRYPTPROV h = 0;
        if (CryptAcquireContextW(&h, container, kTokenProvider, PROV_RSA_FULL, flags))
        {
            if (h)
                CryptReleaseContext(h, 0);
            return 0;
        }
        return GetLastError();
    }
    static Bytes PublicBlob(HCRYPTKEY key)
    {
        DWORD size = 0;
        EXPECT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size))
            << std::hex << GetLastError();
        Bytes blob(size);
        EXPECT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size));
        return blob;
    }
    static Bytes Sign(HCRYPTPROV h, ALG_ID alg, DWORD spec, const std::string& data)
    {
        HCRYPTHASH hash = 0;
        EXPECT_TRUE(CryptCreateHash(h, alg, 0, 0, &hash)) << std::hex << GetLastError();
        for (size_t at = 0; at < data.size(); at += 16384)
            EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()) + at,
                                      DWORD(std::min<size_t>(16384, data.size() - at)), 0));
        DWORD size = 0;
        EXPECT_TRUE(CryptSignHashW(hash, spec, nullptr, 0, nullptr, &size))
            << std::hex << GetLastError();
        Bytes sig(size);
        EXPECT_TRUE(CryptSignHashW(hash, spec, nullptr, 0, sig.data(), &size))
            << std::hex << GetLastError();
        CryptDestroyHash(hash);
        return sig;
    }
    std::filesystem::path m_dir;
};
