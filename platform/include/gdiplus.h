// GDI+: start-up and shutdown, images decoded from streams (PNG) and a graphics object over a
// device context that draws them, scaled. Classes keep their state in the stand-in.
#pragma once

#include "windef.h"
#include "wingdi.h"
#include "objidl.h"

namespace Gdiplus
{
typedef float REAL;
typedef int INT;

enum Status
{
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
};

enum Unit
{
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};

typedef void(WINAPI* DebugEventProc)(int level, CHAR* message);
typedef Status(WINAPI* NotificationHookProc)(ULONG_PTR* token);
typedef void(WINAPI* NotificationUnhookProc)(ULONG_PTR token);

struct GdiplusStartupInput
{
    UINT GdiplusVersion;
    DebugEventProc DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;

    GdiplusStartupInput(DebugEventProc debugEventCallback = nullptr, BOOL suppressBackgroundThread = FALSE,
                        BOOL suppressExternalCodecs = FALSE)
        : GdiplusVersion(1), DebugEventCallback(debugEventCallback),
          SuppressBackgroundThread(suppressBackgroundThread), SuppressExternalCodecs(suppressExternalCodecs)
    {
    }
};

struct GdiplusStartupOutput
{
    NotificationHookProc NotificationHook;
    NotificationUnhookProc NotificationUnhook;
};

struct Rect
{
    INT X = 0;
    INT Y = 0;
    INT Width = 0;
    INT Height = 0;
    Rect() = default;
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
};

class ImageAttributes;
} // namespace Gdiplus

// Version 1 only (else UnsupportedGdiplusVersion). Start-ups nest; each token is shut down
// once. Images and graphics need GDI+ started (GdiplusNotInitialized otherwise).
QMAPI Gdiplus::Status WINAPI GdiplusStartup(ULONG_PTR* token, const Gdiplus::GdiplusStartupInput* input,
                                            Gdiplus::GdiplusStartupOutput* output);
QMAPI void WINAPI GdiplusShutdown(ULONG_PTR token);

namespace Gdiplus
{
struct ImageState;
struct GraphicsState;

class QMEXPORT Image
{
public:
    // An image that holds the stream (AddRef) for its life. Data that cannot be decoded
    // still gives an image; its GetLastStatus() is UnknownImageFormat and it draws nothing.
    static Image* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    virtual ~Image();
    UINT GetWidth();
    UINT GetHeight();
    Status GetLastStatus() const;
    ImageState* State() const { return m_state; }

    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

protected:
    explicit Image(ImageState* state) : m_state(state) {}
    ImageState* m_state;
};

class QMEXPORT Graphics
{
public:
    explicit Graphics(HDC hdc);
    static Graphics* FromHDC(HDC hdc);
    ~Graphics();
    Status GetLastStatus() const;

    Status DrawImage(Image* image, INT x, INT y);
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    // The source rectangle of the image drawn into the destination rectangle (scaled).
    Status DrawImage(Image* image, const Rect& destRect, INT srcx, INT srcy, INT srcwidth, INT srcheight,
                     Unit srcUnit, const ImageAttributes* imageAttributes = nullptr, void* callback = nullptr,
                     void* callbackData = nullptr);

    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

private:
    GraphicsState* m_state;
};
} // namespace Gdiplus
