#include "XDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

XDisplay::XDisplay(int width, int height)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::string fd = std::to_string(fds[1]);
    std::vector<const char*> argv = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                                     "-nolisten", "tcp", "-noreset", nullptr};
    // Xvfb ends with this process, however it ends.
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0)
    {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(fds[0]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execvp("Xvfb", const_cast<char**>(argv.data()));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0)
    {
        close(fds[0]);
        return;
    }
    m_pid = pid;
    // Xvfb writes the display number it took once it listens.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0)
    {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty())
        return;
    m_name = ":" + number;
    setenv("DISPLAY", m_name.c_str(), 1);
    m_display = XOpenDisplay(m_name.c_str());
}

XDisplay::~XDisplay()
{
    if (m_display)
        XCloseDisplay(m_display);
    if (m_pid > 0)
    {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

void XDisplay::Sync()
{
    XSync(m_display, False);
    usleep(30000);
}

void XDisplay::MoveTo(int x, int y)
{
    XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    Sync();
}

void XDisplay::Click(int x, int y, int button)
{
    MoveTo(x, y);
    XTestFakeButtonEvent(m_display, static_cast<unsigned>(button), True, CurrentTime);
    Sync();
    XTestFakeButtonEvent(m_display, static_cast<unsigned>(button), False, CurrentTime);
    Sync();
}

void XDisplay::Key(const char* keysym, bool control)
{
    KeyCode ctrl = XKeysymToKeycode(m_display, XStringToKeysym("Control_L"));
    KeyCode key = XKeysymToKeycode(m_display, XStringToKeysym(keysym));
    if (control)
        XTestFakeKeyEvent(m_display, ctrl, True, CurrentTime);
    XTestFakeKeyEvent(m_display, key, True, CurrentTime);
    XTestFakeKeyEvent(m_display, key, False, CurrentTime);
    if (control)
        XTestFakeKeyEvent(m_display, ctrl, False, CurrentTime);
    Sync();
}

cairo_surface_t* XDisplay::Capture()
{
    Window root = DefaultRootWindow(m_display);
    XWindowAttributes a;
    XGetWindowAttributes(m_display, root, &a);
    XImage* img = XGetImage(m_display, root, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                            AllPlanes, ZPixmap);
    if (!img)
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.width, a.height);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            reinterpret_cast<uint32_t*>(dst + y * stride)[x] = static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFF;
    cairo_surface_mark_dirty(s);
    XDestroyImage(img);
    return s;
}

bool XDisplay::CaptureToPng(const std::filesystem::path& file)
{
    cairo_surface_t* s = Capture();
    bool ok = s && cairo_surface_write_to_png(s, file.c_str()) == CAIRO_STATUS_SUCCESS;
    if (s)
        cairo_surface_destroy(s);
    return ok;
}

int ColourDistance(uint32_t p, uint32_t q)
{
    int d = 0;
    for (int shift : {0, 8, 16})
        d = std::max(d, std::abs(static_cast<int>((p >> shift) & 0xFF) -
                                 static_cast<int>((q >> shift) & 0xFF)));
    return d;
}

double MatchingShare(cairo_surface_t* a, int ax, int ay, cairo_surface_t* b, int bx, int by, int width, int height)
{
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    auto pixel = [](cairo_surface_t* s, int x, int y) -> int64_t {
        if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(s) || y >= cairo_image_surface_get_height(s))
            return -1;
        auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        return reinterpret_cast<uint32_t*>(row)[x] & 0xFFFFFF;
    };
    long same = 0, all = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            int64_t p = pixel(a, ax + x, ay + y), q = pixel(b, bx + x, by + y);
            ++all;
            if (p < 0 || q < 0)
                continue;
            if (ColourDistance(uint32_t(p), uint32_t(q)) <= 24)
                ++same;
        }
    return all ? static_cast<double>(same) / static_cast<double>(all) : 0;
}
