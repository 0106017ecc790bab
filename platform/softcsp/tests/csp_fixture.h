// A fresh machine with the platform's software providers registered, and small helpers
// for the CryptoAPI calls of the tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qm/csp_registration.h"
#include "qm/machine.h"
#include "windows.h"
#include "wincrypt.h"

using Bytes = std::vector<uint8_t>;

class CspTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-csp-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
        qm::SetProcessElevated(true);
        ASSERT_EQ(ERROR_SUCCESS, qm::RegisterPlatformCryptProviders(QM_RSAENH_PATH));
        qm::SetProcessElevated(false);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    static HCRYPTPROV Acquire(const char16_t* container, const char16_t* provider, DWORD flags,
                              DWORD type = PROV_RSA_FULL)
    {
        HCRYPTPROV h = 0;
        EXPECT_TRUE(CryptAcquireContextW(&h, container, provider, type, flags))
            << std::hex << GetLastError();
        return h;
    }
    // The last error of a failed acquire (0 when it succeeded).
    static DWORD AcquireError(const char16_t* container, const char16_t* provider, DWORD flags,
                              DWORD type = PROV_RSA_FULL)
    {
        HCRYPTPROV h = 0;
        if (CryptAcquireContextW(&h, container, provider, type, flags))
        {
            if (h)
                CryptReleaseContext(h, 0);
            return 0;
        }
        return GetLastError();
    }
    static Bytes Export(HCRYPTKEY key, DWORD type, HCRYPTKEY wrap = 0)
    {
        DWORD size = 0;
        EXPECT_TRUE(CryptExportKey(key, wrap, type, 0, nullptr, &size))
            << std::hex << GetLastError();
        Bytes blob(size);
        EXPECT_TRUE(CryptExportKey(key, wrap, type, 0, blob.data(), &size))
            << std::hex << GetLastError();
        blob.resize(size);
        return blob;
    }
    static std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }
    std::filesystem::path m_dir;
};
