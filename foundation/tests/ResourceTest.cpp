// Reading a chain document out of a library's resources.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "ResourceRegistry.h"

namespace
{
std::u16string U16(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

class ResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hModule = LoadLibraryW(U16(QM_RESOURCE_FIXTURE).c_str());
        ASSERT_NE(m_hModule, nullptr);
    }
    void TearDown() override
    {
        if (m_hModule)
        {
            FreeLibrary(m_hModule);
        }
    }
    HMODULE m_hModule = nullptr;
};
} // namespace

TEST_F(ResourceTest, CopiesTheWholeUnterminatedDocument)
{
    std::ifstream file(QM_RESOURCE_DOCUMENT, std::ios::binary);
    std::string strExpected((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(strExpected.empty());

    BYTE* pbData = nullptr;
    DWORD cbData = 0;
    ASSERT_EQ(LoadModuleResource(m_hModule, 104, &pbData, &cbData), S_OK);
    ASSERT_NE(pbData, nullptr);
    EXPECT_EQ(cbData, strExpected.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pbData), cbData), strExpected);
    delete[] pbData;
}

TEST_F(ResourceTest, MissingOrOtherTypeGivesResourceNotFoundAndNoOutput)
{
    // 105 does not exist; 7 exists, but not as a CERTIFICATE.
    for (DWORD dwId : {105u, 7u})
    {
        BYTE* pbData = reinterpret_cast<BYTE*>(0x1);
        DWORD cbData = 77;
        EXPECT_EQ(LoadModuleResource(m_hModule, dwId, &pbData, &cbData),
                  HRESULT(0x80070000 | ERROR_RESOURCE_NAME_NOT_FOUND))
            << dwId;
        EXPECT_EQ(pbData, reinterpret_cast<BYTE*>(0x1));
        EXPECT_EQ(cbData, 77u);
    }
}
