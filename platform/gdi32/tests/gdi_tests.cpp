// GDI on cairo: objects and their selection, fills, gradients, rounded rectangles, blits,
// fonts standing in for Windows faces, and text measured and drawn.
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include "qm/windowing.h"
#include "windows.h"

namespace
{
struct MemorySurface
{
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    MemorySurface(int w, int h)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        old = SelectObject(dc, bitmap);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~MemorySurface()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

TRIVERTEX Vertex(LONG x, LONG y, COLORREF c)
{
    return {x, y, static_cast<COLOR16>(GetRValue(c) << 8), static_cast<COLOR16>(GetGValue(c) << 8),
            static_cast<COLOR16>(GetBValue(c) << 8), 0};
}

HFONT Font(const char16_t* face, int height, int width)
{
    LOGFONTW lf;
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfWeight = FW_NORMAL;
    std::u16string f = face;
    std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), 0);
    std::copy(f.begin(), f.end(), lf.lfFaceName);
    return CreateFontIndirectW(&lf);
}

SIZE Extent(HDC dc, const std::u16string& text)
{
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT);
    return {r.right, r.bottom};
}

int InkColumns(HDC dc, int x0, int x1, int y0, int y1)
{
    int columns = 0;
    for (int x = x0; x < x1; ++x)
        for (int y = y0; y < y1; ++y)
            if (GetPixel(dc, x, y) != RGB(255, 255, 255))
            {
                ++columns;
                break;
            }
    return columns;
}
} // namespace

TEST(Gdi, ObjectsSelectionAndDeletion)
{
    size_t before = qm::win::LiveGdiObjects();
    {
        MemorySurface s(10, 10);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
        HGDIOBJ old = SelectObject(s.dc, pen);
        EXPECT_EQ(GetObjectType(old), static_cast<DWORD>(OBJ_PEN));
        EXPECT_FALSE(DeleteObject(pen)); // still selected
        EXPECT_EQ(SelectObject(s.dc, old), pen);
        EXPECT_TRUE(DeleteObject(pen));
        EXPECT_FALSE(DeleteObject(pen)); // gone
        EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))); // stock objects stay
        EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), static_cast<DWORD>(OBJ_PEN));
        // A bitmap can be selected into one DC only.
        HDC other = CreateCompatibleDC(nullptr);
        EXPECT_EQ(SelectObject(other, s.bitmap), nullptr);
        DeleteDC(other);
        LOGFONTW lf;
        ASSERT_EQ(GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf), static_cast<int>(sizeof lf));
        EXPECT_EQ(lf.lfHeight, -11);
        EXPECT_EQ(std::u16string(lf.lfFaceName), u"MS Shell Dlg");
        BITMAP bm;
        ASSERT_EQ(GetObjectW(s.bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmWidth, 10);
    }
    EXPECT_EQ(qm::win::LiveGdiObjects(), before);
}

TEST(Gdi, FillsGradientsRoundedRectanglesAndBlits)
{
    MemorySurface s(100, 80);
    RECT r{10, 10, 20, 20};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(s.dc, &r, red);
    DeleteObject(red);
    EXPECT_EQ(GetPixel(s.dc, 10, 10), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 19, 19), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 20, 20), RGB(255, 255, 255)); // right and bottom are excluded

    // A vertical gradient from (1, 1) to (99, 79): the top row has the first colour.
    TRIVERTEX v[2] = {Vertex(1, 1, RGB(0xDD, 0xEC, 0xFD)), Vertex(99, 79, RGB(0x20, 0x40, 0x60))};
    GRADIENT_RECT g{0, 1};
    ASSERT_TRUE(GradientFill(s.dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V));
    COLORREF top = GetPixel(s.dc, 50, 1), bottom = GetPixel(s.dc, 50, 78), middle = GetPixel(s.dc, 50, 40);
    EXPECT_LE(std::abs(GetRValue(top) - 0xDD), 3);
    EXPECT_LE(std::abs(GetBValue(bottom) - 0x60), 3);
    EXPECT_GT(GetRValue(middle), 0x20);
    EXPECT_LT(GetRValue(middle), 0xDD);
    EXPECT_EQ(GetPixel(s.dc, 50, 0), RGB(255, 255, 255)); // outside the mesh
    EXPECT_EQ(GetPixel(s.dc, 0, 40), RGB(255, 255, 255));
    EXPECT_FALSE(GradientFill(s.dc, v, 2, &g, 1, GRADIENT_FILL_TRIANGLE));

    // A rounded outline with the null brush leaves the inside alone; the corner is cut.
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0x7D, 0xB6, 0xCE));
    HGDIOBJ oldPen = SelectObject(s.dc, pen);
    HGDIOBJ oldBrush = SelectObject(s.dc, GetStockObject(NULL_BRUSH));
    COLORREF inside = GetPixel(s.dc, 50, 40);
    RoundRect(s.dc, 0, 0, 100, 80, 6, 6);
    EXPECT_EQ(GetPixel(s.dc, 50, 0), RGB(0x7D, 0xB6, 0xCE));
    EXPECT_EQ(GetPixel(s.dc, 50, 79), RGB(0x7D, 0xB6, 0xCE));
    EXPECT_EQ(GetPixel(s.dc, 0, 40), RGB(0x7D, 0xB6, 0xCE));
    EXPECT_EQ(GetPixel(s.dc, 50, 40), inside);
    EXPECT_NE(GetPixel(s.dc, 0, 0), RGB(0x7D, 0xB6, 0xCE));
    SelectObject(s.dc, oldBrush);
    SelectObject(s.dc, oldPen);
    DeleteObject(pen);

    MemorySurface target(100, 80);
    ASSERT_TRUE(BitBlt(target.dc, 5, 5, 20, 20, s.dc, 5, 5, SRCCOPY));
    EXPECT_EQ(GetPixel(target.dc, 15, 15), GetPixel(s.dc, 15, 15));
    EXPECT_EQ(GetPixel(target.dc, 5, 5), GetPixel(s.dc, 5, 5));
    EXPECT_EQ(GetPixel(target.dc, 30, 30), RGB(255, 255, 255)); // outside the copied block
}

TEST(Gdi, StandInFontsAreInstalled)
{
    // Each Windows face the dialogs name is drawn with an installed font of its own family.
    for (const char16_t* face : {u"Arial", u"MS Shell Dlg", u"Microsoft YaHei"})
    {
        std::string family = qm::win::FontStandIn(face);
        FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
        FcConfigSubstitute(nullptr, p, FcMatchPattern);
        FcDefaultSubstitute(p);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, p, &result);
        ASSERT_NE(match, nullptr);
        FcChar8* found = nullptr;
        FcPatternGetString(match, FC_FAMILY, 0, &found);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(found)), family) << "install the font for " << family;
        FcPatternDestroy(match);
        FcPatternDestroy(p);
    }
}

TEST(Gdi, TextMeasuredStretchedClippedAndDrawn)
{
    MemorySurface s(400, 60);
    HFONT narrow = Font(u"Arial", 16, 6), wide = Font(u"Arial", 16, 10);
    HGDIOBJ old = SelectObject(s.dc, narrow);
    SIZE n = Extent(s.dc, u"Subject common name");
    TEXTMETRICW tm;
    GetTextMetricsW(s.dc, &tm);
    EXPECT_EQ(tm.tmHeight, 16); // a positive height is the cell height
    EXPECT_EQ(n.cy, 16);
    EXPECT_NEAR(tm.tmAveCharWidth, 6, 1);
    SelectObject(s.dc, wide);
    SIZE w = Extent(s.dc, u"Subject common name");
    EXPECT_GT(w.cx, n.cx * 14 / 10); // the width argument stretches the glyphs
    EXPECT_EQ(Extent(s.dc, u"").cx, 0);
    SelectObject(s.dc, old);

    // Drawing with format 0 clips at the rectangle's right edge; text colour applies.
    SelectObject(s.dc, wide);
    SetTextColor(s.dc, RGB(0, 0, 0));
    SetBkMode(s.dc, TRANSPARENT);
    RECT clip{10, 5, 60, 30};
    DrawTextW(s.dc, u"A very long common name that does not fit", -1, &clip, 0);
    EXPECT_GT(InkColumns(s.dc, 10, 60, 5, 30), 10);
    EXPECT_EQ(InkColumns(s.dc, 60, 400, 0, 60), 0);
    SelectObject(s.dc, old);
    DeleteObject(narrow);
    DeleteObject(wide);

    // Chinese text with the YaHei stand-in puts ink down.
    MemorySurface c(200, 40);
    HFONT yahei = Font(u"Microsoft YaHei", 20, 8);
    old = SelectObject(c.dc, yahei);
    SetBkMode(c.dc, TRANSPARENT);
    RECT all{0, 0, 200, 40};
    DrawTextW(c.dc, u"\u9009\u62e9\u8bc1\u4e66", -1, &all, 0);
    EXPECT_GT(InkColumns(c.dc, 0, 200, 0, 40), 20);
    SIZE cn = Extent(c.dc, u"\u9009\u62e9\u8bc1\u4e66");
    EXPECT_GT(cn.cx, 40);
    SelectObject(c.dc, old);
    DeleteObject(yahei);
}
