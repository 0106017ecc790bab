// The message tables the two plug-in libraries carry, as LoadStringW hands them out.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace
{
const LANGID kEnglish = 1033;
const LANGID kChinese = 2052;

std::u16string U16(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

std::u16string Message(HMODULE hModule, UINT uId, LANGID langId)
{
    SetThreadUILanguage(langId);
    WCHAR wszText[512] = {0};
    LoadStringW(hModule, uId, wszText, 511);
    SetThreadUILanguage(0);
    return wszText;
}

struct Library
{
    const char* pszPath;
    size_t cMessages;
};

const Library kSigning = {QM_SIGNING_PLUGIN, 37};
const Library kEnrollment = {QM_ENROLLMENT_PLUGIN, 32};

HMODULE Load(const Library& library)
{
    return LoadLibraryW(U16(library.pszPath).c_str());
}
} // namespace

TEST(MessageTable, EveryMessageInBothLanguages)
{
    for (const Library& library : {kSigning, kEnrollment})
    {
        HMODULE hModule = Load(library);
        ASSERT_NE(hModule, nullptr) << library.pszPath;
        size_t cEnglish = 0;
        // Message ids start at 0x1000; the dialog's own strings below it are not messages.
        for (UINT uId = 0x1000; uId < 0x10000; ++uId)
        {
            std::u16string wstrEnglish = Message(hModule, uId, kEnglish);
            std::u16string wstrChinese = Message(hModule, uId, kChinese);
            EXPECT_EQ(wstrEnglish.empty(), wstrChinese.empty()) << library.pszPath << " id " << uId;
            if (!wstrEnglish.empty())
            {
                EXPECT_NE(wstrEnglish, wstrChinese) << library.pszPath << " id " << uId;
                ++cEnglish;
            }
        }
        EXPECT_EQ(cEnglish, library.cMessages) << library.pszPath;
        FreeLibrary(hModule);
    }
}

TEST(MessageTable, EachLibraryHasItsOwnTexts)
{
    struct Case
    {
        const Library* pLibrary;
        UINT uId;
        std::u16string wstrEnglish;
        std::u16string wstrChinese;
    } cases[] = {
        {&kSigning, 4098, u"User canceled operation.", u"用户取消选择证书"},
        {&kEnrollment, 4098, u"User canceled operation.", u"用户取消选择证书"},
        {&kSigning, 4145, u"Certificate in certificate chain is time invalid", u"证书链中某个证书时间无效"},
        {&kEnrollment, 4145, u"Certificate in certificate chain is time invalid.", u"证书链中某个证书时间无效"},
        {&kSigning, 4149, u"Special cert isn't exsit", u"指定证书不存在"},
        {&kEnrollment, 4149, u"Specified certificate is not found.", u"没有找到指定证书"},
        {&kSigning, 4104, u"The number of signer in pkcs#7 signature is too many.", u"PKCS#7签名中签名者个数过多"},
        {&kEnrollment, 4104, u"", u""},
        {&kSigning, 9216, u"", u""},
        {&kEnrollment, 9216, u"Key length is not supported.", u"密钥长度不支持"},
        {&kSigning, 8225, u"Invalid certificate usage.", u"无效的证书用法"},
        {&kEnrollment, 9217, u"Invalid key algorithm.", u"无效的密钥算法"},
        // Raised by the foundation without a message in either table.
        {&kSigning, 4105, u"", u""},
        {&kEnrollment, 4105, u"", u""},
    };
    for (const Case& c : cases)
    {
        HMODULE hModule = Load(*c.pLibrary);
        ASSERT_NE(hModule, nullptr);
        EXPECT_EQ(Message(hModule, c.uId, kEnglish), c.wstrEnglish) << c.pLibrary->pszPath << " id " << c.uId;
        EXPECT_EQ(Message(hModule, c.uId, kChinese), c.wstrChinese) << c.pLibrary->pszPath << " id " << c.uId;
        FreeLibrary(hModule);
    }
}
