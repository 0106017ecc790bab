// A private X server for tests that look at real windows: Xvfb on a free display, real
// input through XTest, and pictures of the whole screen.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <string>

struct _XDisplay;

class XDisplay
{
public:
    // Starts Xvfb (width x height, 24 bits) and points $DISPLAY at it; IsUp() tells.
    XDisplay(int width, int height);
    ~XDisplay();
    bool IsUp() const { return m_display != nullptr; }
    const std::string& Name() const { return m_name; }

    void MoveTo(int x, int y);
    // Button 1 left, 3 right, 4 and 5 the wheel.
    void Click(int x, int y, int button = 1);
    // A key by its keysym name ("a", "Return"), with Control held when asked.
    void Key(const char* keysym, bool control = false);

    // The screen as it is now (an RGB24 image surface the caller destroys).
    cairo_surface_t* Capture();
    bool CaptureToPng(const std::filesystem::path& file);

private:
    void Sync();

    int m_pid = -1;
    std::string m_name;
    _XDisplay* m_display = nullptr;
};

// The largest difference of one colour channel between two RGB24 pixels.
int ColourDistance(uint32_t p, uint32_t q);

// Share of the pixels of the rectangle of `a` at (ax, ay) that match `b` at (bx, by)
// within a small colour distance.
double MatchingShare(cairo_surface_t* a, int ax, int ay, cairo_surface_t* b, int bx, int by, int width, int height);

// The X server of this test program, started by its main before any test runs.
XDisplay& TestScreen();
