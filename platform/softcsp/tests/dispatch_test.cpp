// Providers are found through the provider key of the registry: name, type and image path,
// the image named as Windows names it and found in the machine's System32.
#include "csp_fixture.h"

TEST_F(CspTest, ProviderImagesAreFoundThroughTheRegistry)
{
    qm::SetProcessElevated(true);
    ASSERT_EQ(ERROR_SUCCESS,
              qm::RegisterCryptProvider(u"Vendor Without Library", u"absent_csp.dll", 1));
    ASSERT_EQ(ERROR_SUCCESS,
              qm::RegisterCryptProvider(u"Vendor With Another Library", u"libc.so.6", 1));
    // The image by its Windows name, which the machine maps in System32.
    ASSERT_EQ(ERROR_SUCCESS, qm::RegisterCryptProvider(u"Vendor Mapped", u"mapped_rsaenh.dll", 1));
    qm::SetProcessElevated(false);
    auto system32 = m_dir / "drive_c" / "Windows" / "System32";
    std::filesystem::create_directories(system32);
    std::filesystem::create_symlink(std::u16string(QM_RSAENH_PATH), system32 / "mapped_rsaenh.dll");

    EXPECT_EQ(DWORD(NTE_PROV_DLL_NOT_FOUND),
              AcquireError(nullptr, u"Vendor Without Library", CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(DWORD(NTE_PROVIDER_DLL_FAIL),
              AcquireError(nullptr, u"Vendor With Another Library", CRYPT_VERIFYCONTEXT));
    HCRYPTPROV h = Acquire(nullptr, u"Vendor Mapped", CRYPT_VERIFYCONTEXT);
    ASSERT_TRUE(h);
    char name[64];
    DWORD size = sizeof name;
    ASSERT_TRUE(CryptGetProvParam(h, PP_NAME, reinterpret_cast<BYTE*>(name), &size, 0));
    EXPECT_STREQ(MS_ENHANCED_PROV_A, name)
        << "a name the module does not know gets the Enhanced provider's profile";

    // A context counts its references; the last release ends it.
    ASSERT_TRUE(CryptContextAddRef(h, nullptr, 0));
    EXPECT_TRUE(CryptReleaseContext(h, 0));
    EXPECT_TRUE(CryptGetProvParam(h, PP_NAME, nullptr, &size, 0));
    EXPECT_TRUE(CryptReleaseContext(h, 0));
    EXPECT_FALSE(CryptGetProvParam(h, PP_NAME, nullptr, &size, 0));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());

    // The default provider of a type, as Windows names it.
    DWORD length = 0;
    ASSERT_TRUE(
        CryptGetDefaultProviderW(PROV_RSA_FULL, nullptr, CRYPT_MACHINE_DEFAULT, nullptr, &length));
    std::u16string def(length / 2, u'\0');
    ASSERT_TRUE(CryptGetDefaultProviderW(PROV_RSA_FULL, nullptr, CRYPT_MACHINE_DEFAULT, def.data(),
                                         &length));
    EXPECT_EQ(std::u16string(MS_STRONG_PROV_W), def.c_str());
}
