// GDI+: start-up, images from PNG bytes in a stream, drawing them scaled with their alpha.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>
#include <vector>

#include "gdiplus.h"
#include "qm/windowing.h"
#include "windows.h"

namespace
{
// A w x h PNG: opaque red left half, transparent right half.
std::vector<BYTE> HalfRedPng(int w, int h)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    cairo_rectangle(cr, 0, 0, w / 2, h);
    cairo_fill(cr);
    cairo_destroy(cr);
    std::vector<BYTE> out;
    cairo_surface_write_to_png_stream(
        s,
        [](void* closure, const unsigned char* data, unsigned int n) {
            auto* v = static_cast<std::vector<BYTE>*>(closure);
            v->insert(v->end(), data, data + n);
            return CAIRO_STATUS_SUCCESS;
        },
        &out);
    cairo_surface_destroy(s);
    return out;
}

IStream* StreamOver(const std::vector<BYTE>& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, bytes.size());
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(block, TRUE, &stream);
    return stream;
}

class GdiplusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { GdiplusShutdown(m_token); }
    ULONG_PTR m_token = 0;
};
} // namespace

TEST(GdiplusStartup, VersionAndTokens)
{
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 2;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), Gdiplus::UnsupportedGdiplusVersion);
    input.GdiplusVersion = 1;
    // Images need GDI+ started.
    IStream* stream = StreamOver(HalfRedPng(4, 4));
    Gdiplus::Image* early = Gdiplus::Image::FromStream(stream);
    EXPECT_EQ(early->GetLastStatus(), Gdiplus::GdiplusNotInitialized);
    delete early;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream);
    EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(image->GetWidth(), 4u);
    delete image;
    stream->Release();
    GdiplusShutdown(token);
}

TEST_F(GdiplusTest, DrawsAnImageScaledOverTheBackground)
{
    IStream* stream = StreamOver(HalfRedPng(128, 128));
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream);
    stream->Release(); // the image keeps the stream
    ASSERT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 80, 80);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 80, 80};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    {
        Gdiplus::Graphics g(dc);
        EXPECT_EQ(g.DrawImage(image, Gdiplus::Rect(14, 14, 48, 48), 0, 0, 128, 128, Gdiplus::UnitPixel), Gdiplus::Ok);
    }
    EXPECT_EQ(GetPixel(dc, 20, 38), RGB(255, 0, 0));     // left half of the 48 x 48 picture
    EXPECT_EQ(GetPixel(dc, 55, 38), RGB(255, 255, 255)); // transparent half shows the card
    EXPECT_EQ(GetPixel(dc, 13, 38), RGB(255, 255, 255)); // outside the destination
    EXPECT_EQ(GetPixel(dc, 20, 62), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    delete image;
}

TEST_F(GdiplusTest, UndecodableDataGivesAnImageThatDrawsNothing)
{
    std::vector<BYTE> junk = {'n', 'o', 't', ' ', 'p', 'n', 'g'};
    IStream* stream = StreamOver(junk);
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream);
    stream->Release();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetLastStatus(), Gdiplus::UnknownImageFormat);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 10, 10);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 10, 10};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Gdiplus::Graphics g(dc);
    EXPECT_NE(g.DrawImage(image, 0, 0, 10, 10), Gdiplus::Ok);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    delete image;
}
