// The chain documents as the two plug-in libraries carry them: type "CERTIFICATE",
// language 1033, the signing plug-in's 104 and 105 byte for byte the enrollment plug-in's
// 208 and 210, each resource exactly its committed document.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include <windows.h>

#include "ChainResourceIds.h"

namespace
{
std::string DataFile(const std::string& strName)
{
    std::ifstream in(std::string(QM_TRUSTCHAIN_DATA) + "/" + strName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Resource(HMODULE hModule, WORD wId)
{
    HRSRC hInfo = FindResourceExW(hModule, u"CERTIFICATE", MAKEINTRESOURCEW(wId), 1033);
    if (!hInfo)
    {
        return "(missing)";
    }
    HGLOBAL hData = LoadResource(hModule, hInfo);
    const char* pData = hData ? static_cast<const char*>(LockResource(hData)) : nullptr;
    return pData ? std::string(pData, SizeofResource(hModule, hInfo)) : "(unreadable)";
}

std::u16string Wide(const std::string& str)
{
    return std::u16string(str.begin(), str.end());
}

TEST(PluginResourcesTest, EachPluginCarriesItsChainDocuments)
{
    HMODULE hSigning = LoadLibraryW(Wide(QM_SIGNING_PLUGIN).c_str());
    HMODULE hEnrollment = LoadLibraryW(Wide(QM_ENROLLMENT_PLUGIN).c_str());
    ASSERT_NE(hSigning, nullptr);
    ASSERT_NE(hEnrollment, nullptr);

    const struct
    {
        HMODULE hModule;
        WORD wId;
        const char* pszDocument;
    } kCases[] = {
        {hEnrollment, IDR_RSA_CERTIFICATE_CHAIN, "rsa-operational.xml"},
        {hEnrollment, IDR_SM2_CERTIFICATE_CHAIN, "sm2-operational.xml"},
        {hEnrollment, IDR_TEST_RSA_CERTIFICATE_CHAIN, "rsa-test.xml"},
        {hEnrollment, IDR_TEST_SM2_CERTIFICATE_CHAIN, "sm2-test.xml"},
        {hSigning, IDR_RSA_OPERATION_CERTIFICATE_CHAIN, "rsa-operational.xml"},
        {hSigning, IDR_RSA_TEST_CERTIFICATE_CHAIN, "rsa-test.xml"},
    };
    for (const auto& c : kCases)
    {
        EXPECT_EQ(Resource(c.hModule, c.wId), DataFile(c.pszDocument)) << c.wId;
    }
    // The signing plug-in carries no SM2 chain.
    EXPECT_EQ(Resource(hSigning, IDR_SM2_CERTIFICATE_CHAIN), "(missing)");
    EXPECT_EQ(Resource(hSigning, IDR_TEST_SM2_CERTIFICATE_CHAIN), "(missing)");

    FreeLibrary(hEnrollment);
    FreeLibrary(hSigning);
}
} // namespace
