// GDI+ over cairo: start-up tokens, images decoded from PNG streams and drawing them
// (scaled, with their alpha) on a device context.
#include "gdiplus.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

#include "gdi_objects.h"

namespace Gdiplus
{
namespace
{
std::mutex g_lock;
std::set<ULONG_PTR> g_tokens;
ULONG_PTR g_nextToken = 1;

bool Started()
{
    std::lock_guard lock(g_lock);
    return !g_tokens.empty();
}

cairo_status_t ReadStream(void* closure, unsigned char* data, unsigned int length)
{
    auto* stream = static_cast<IStream*>(closure);
    while (length > 0)
    {
        ULONG read = 0;
        if (FAILED(stream->Read(data, length, &read)) || read == 0)
            return CAIRO_STATUS_READ_ERROR;
        data += read;
        length -= read;
    }
    return CAIRO_STATUS_SUCCESS;
}
} // namespace

struct ImageState
{
    IStream* stream = nullptr;
    cairo_surface_t* surface = nullptr;
    Status status = Ok;
    ~ImageState()
    {
        if (surface)
            cairo_surface_destroy(surface);
        if (stream)
            stream->Release();
    }
};

struct GraphicsState
{
    HDC dc = nullptr;
    Status status = Ok;
};

Image* Image::FromStream(IStream* stream, BOOL)
{
    auto* state = new ImageState;
    if (!Started())
        state->status = GdiplusNotInitialized;
    else if (!stream)
        state->status = InvalidParameter;
    else
    {
        state->stream = stream;
        stream->AddRef();
        cairo_surface_t* s = cairo_image_surface_create_from_png_stream(ReadStream, stream);
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS)
        {
            cairo_surface_destroy(s);
            state->status = UnknownImageFormat;
        }
        else
            state->surface = s;
    }
    return new Image(state);
}

Image::~Image() { delete m_state; }

UINT Image::GetWidth() { return m_state->surface ? cairo_image_surface_get_width(m_state->surface) : 0; }
UINT Image::GetHeight() { return m_state->surface ? cairo_image_surface_get_height(m_state->surface) : 0; }
Status Image::GetLastStatus() const { return m_state->status; }

Graphics::Graphics(HDC hdc) : m_state(new GraphicsState)
{
    m_state->dc = hdc;
    if (!Started())
        m_state->status = GdiplusNotInitialized;
    else if (!qm::gdi::AsDc(hdc))
        m_state->status = InvalidParameter;
}

Graphics* Graphics::FromHDC(HDC hdc) { return new Graphics(hdc); }
Graphics::~Graphics() { delete m_state; }
Status Graphics::GetLastStatus() const { return m_state->status; }

Status Graphics::DrawImage(Image* image, INT x, INT y)
{
    if (!image)
        return InvalidParameter;
    return DrawImage(image, Rect(x, y, image->GetWidth(), image->GetHeight()), 0, 0, image->GetWidth(),
                     image->GetHeight(), UnitPixel);
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height)
{
    if (!image)
        return InvalidParameter;
    return DrawImage(image, Rect(x, y, width, height), 0, 0, image->GetWidth(), image->GetHeight(), UnitPixel);
}

Status Graphics::DrawImage(Image* image, const Rect& dest, INT srcx, INT srcy, INT srcwidth, INT srcheight,
                           Unit srcUnit, const ImageAttributes*, void*, void*)
{
    if (m_state->status != Ok)
        return m_state->status;
    if (!image || srcwidth <= 0 || srcheight <= 0 || (srcUnit != UnitPixel && srcUnit != UnitWorld))
        return InvalidParameter;
    ImageState* img = image->State();
    if (!img->surface)
        return img->status == Ok ? InvalidParameter : img->status;
    qm::gdi::Dc* dc = qm::gdi::AsDc(m_state->dc);
    if (!dc)
        return InvalidParameter;
    cairo_t* cr = qm::gdi::BeginDrawing(dc);
    if (!cr)
        return GenericError;
    cairo_rectangle(cr, dest.X, dest.Y, dest.Width, dest.Height);
    cairo_clip(cr);
    cairo_translate(cr, dest.X, dest.Y);
    cairo_scale(cr, dest.Width / double(srcwidth), dest.Height / double(srcheight));
    cairo_set_source_surface(cr, img->surface, -srcx, -srcy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_destroy(cr);
    return Ok;
}
} // namespace Gdiplus

QMAPI Gdiplus::Status WINAPI GdiplusStartup(ULONG_PTR* token, const Gdiplus::GdiplusStartupInput* input,
                                            Gdiplus::GdiplusStartupOutput* output)
{
    using namespace Gdiplus;
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output)
        return InvalidParameter;
    if (output)
        *output = {nullptr, nullptr};
    std::lock_guard lock(g_lock);
    *token = g_nextToken++;
    g_tokens.insert(*token);
    return Ok;
}

QMAPI void WINAPI GdiplusShutdown(ULONG_PTR token)
{
    std::lock_guard lock(Gdiplus::g_lock);
    Gdiplus::g_tokens.erase(token);
}
