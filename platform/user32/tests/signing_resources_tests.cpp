// The signing library's selection dialog resources: template 101 in English and Chinese,
// strings 102 and 203-207, and PNG pictures 105-107 at their sizes.

#include <cstring>

#include "window_test_support.h"

namespace
{
struct PngInfo
{
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
};

PngInfo ReadHeader(const BYTE* p, DWORD n)
{
    PngInfo info;
    if (n < 33 || memcmp(p, "\x89PNG\r\n\x1a\n", 8) != 0 || memcmp(p + 12, "IHDR", 4) != 0)
        return info;
    auto be32 = [&](int at) { return (p[at] << 24) | (p[at + 1] << 16) | (p[at + 2] << 8) | p[at + 3]; };
    info.width = be32(16);
    info.height = be32(20);
    info.bitDepth = p[24];
    info.colourType = p[25];
    return info;
}

std::u16string Caption(LANGID language)
{
    SetThreadUILanguage(language);
    std::u16string caption, ok, cancel;
    qm::win::SetIdleHook([&](HWND dlg) {
        WCHAR t[64] = {};
        GetWindowTextW(dlg, t, 64);
        caption = t;
        GetDlgItemTextW(dlg, IDOK, t, 64);
        ok = t;
        GetDlgItemTextW(dlg, IDCANCEL, t, 64);
        cancel = t;
        EndDialog(dlg, IDCANCEL);
        return true;
    });
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101), nullptr,
                    [](HWND, UINT msg, WPARAM, LPARAM) -> INT_PTR { return msg == WM_INITDIALOG; }, 0);
    qm::win::SetIdleHook(nullptr);
    SetThreadUILanguage(0);
    return caption + u"|" + ok + u"|" + cancel;
}
} // namespace

class SigningResourcesTest : public WindowTest
{
};

TEST_F(SigningResourcesTest, DialogInBothLanguages)
{
    EXPECT_EQ(Caption(0x0409), u"Windows Security|OK|Cancel");
    EXPECT_EQ(Caption(0x0804), u"Windows \u5b89\u5168|\u786e\u5b9a|\u53d6\u6d88");
}

TEST_F(SigningResourcesTest, StringsInBothLanguages)
{
    struct Case
    {
        LANGID language;
        UINT id;
        std::u16string text;
    } cases[] = {
        {0x0409, 102, u"SelectCertificateDialog"},
        {0x0409, 203, u"Select a Certificate"},
        {0x0409, 204, u"DisplayString"},
        {0x0409, 205, u"Issuer: %ws"},
        {0x0409, 206, u"SN: %ws"},
        {0x0409, 207, u"Valid From: %04d/%02d/%02d to %04d/%02d/%02d"},
        {0x0804, 102, u"SelectCertificateDialog"},
        {0x0804, 203, u"\u9009\u62e9\u8bc1\u4e66"},
        {0x0804, 204, u"DisplayString"},
        {0x0804, 205, u"\u9881\u53d1\u8005: %ws"},
        {0x0804, 206, u"\u5e8f\u5217\u53f7: %ws"},
        {0x0804, 207, u"\u6709\u6548\u671f: %04d/%02d/%02d \u81f3 %04d/%02d/%02d"},
    };
    for (const auto& c : cases)
    {
        SetThreadUILanguage(c.language);
        WCHAR buffer[128] = {};
        int n = LoadStringW(GetModuleHandleW(nullptr), c.id, buffer, 128);
        EXPECT_EQ(std::u16string(buffer, n), c.text) << c.id << " in " << c.language;
    }
    SetThreadUILanguage(0);
}

TEST_F(SigningResourcesTest, PicturesAreRgbaPngsOfTheirSizes)
{
    struct Case
    {
        int id, size;
    } cases[] = {{105, 128}, {106, 128}, {107, 62}};
    for (const auto& c : cases)
    {
        HMODULE self = GetModuleHandleW(nullptr);
        HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(c.id), u"PNG");
        ASSERT_NE(res, nullptr) << c.id;
        auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(self, res)));
        PngInfo info = ReadHeader(bytes, SizeofResource(self, res));
        EXPECT_EQ(info.width, c.size) << c.id;
        EXPECT_EQ(info.height, c.size) << c.id;
        EXPECT_EQ(info.bitDepth, 8) << c.id;
        EXPECT_EQ(info.colourType, 6) << c.id; // RGBA
    }
}
