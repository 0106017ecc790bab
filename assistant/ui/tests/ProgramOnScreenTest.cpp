// The program itself, as a new user starts it on a machine from `qmctl init`: its window on
// the X screen shows the full check's results, and a real click on 一键修复 where the screen
// shows it runs the repair. What the page is told is read from $QM_WEB_CALLS.
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "XDisplay.h"

namespace fs = std::filesystem;

namespace
{
std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text in the machine's code page (936), as the log holds it.
std::string Gbk(const std::string& utf8)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* o = out.data();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// Centre of the widest run of pixels of the colour on the screen (the repair button's face).
bool FindButton(cairo_surface_t* screen, uint32_t rgb, int* x, int* y)
{
    int w = cairo_image_surface_get_width(screen), h = cairo_image_surface_get_height(screen);
    int stride = cairo_image_surface_get_stride(screen);
    unsigned char* data = cairo_image_surface_get_data(screen);
    int best = 0;
    long sumY = 0, rows = 0;
    for (int row = 0; row < h; ++row)
    {
        auto* line = reinterpret_cast<uint32_t*>(data + row * stride);
        for (int col = 0; col < w;)
        {
            int start = col;
            while (col < w && ColourDistance(line[col] & 0xFFFFFF, rgb) <= 8)
                ++col;
            int run = col - start;
            if (run >= 60 && run >= best - 2)
            {
                if (run > best + 2)
                {
                    sumY = rows = 0;
                    best = run;
                }
                *x = start + run / 2;
                sumY += row;
                ++rows;
            }
            col = std::max(col, start + 1);
        }
    }
    if (!rows)
        return false;
    *y = static_cast<int>(sumY / rows);
    return true;
}
} // namespace

TEST(Program, FullCheckOnScreenThenRepairByPointer)
{
    fs::path out = QM_TEST_OUTPUT_DIR;
    fs::create_directories(out);
    char tmpl[] = "/tmp/qm-assistant-screen-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    fs::path dir = tmpl, machine = dir / "machine", calls = dir / "calls.txt";
    ASSERT_EQ(0, std::system(("'" + std::string(QMCTL_PATH) + "' --machine '" + machine.string() +
                              "' init >/dev/null 2>&1").c_str()));
    // A copy of its own, so that its log file next to it is this test's.
    fs::path program = dir / "QV_Assistant";
    fs::copy_file(QV_ASSISTANT_PATH, program);

    pid_t pid = fork();
    if (pid == 0)
    {
        setenv("QM_MACHINE", machine.c_str(), 1);
        setenv("QM_ELEVATED", "1", 1);
        setenv("QM_WEB_CALLS", calls.c_str(), 1);
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    auto told = [&](const std::string& what) { return ReadAll(calls).find(what) != std::string::npos; };

    // The full check runs at start; its summary comes a second after its end marker.
    EXPECT_TRUE(WaitFor([&] { return told("mainframe.addResult(\"TITLE_IE\",\"0\")"); }, 30000)) << ReadAll(calls);
    std::this_thread::sleep_for(std::chrono::milliseconds(1800));
    EXPECT_NE(std::string::npos, ReadAll(dir / "QV_Assistant.log").find(Gbk("全面检测结束")));
    cairo_surface_t* screen = TestScreen().Capture();
    ASSERT_TRUE(screen);
    cairo_surface_write_to_png(screen, (out / "screen-program-full-check.png").c_str());
    int x = 0, y = 0;
    bool found = FindButton(screen, 0x2FA35B, &x, &y);
    cairo_surface_destroy(screen);
    ASSERT_TRUE(found) << "no 一键修复 on the screen";

    TestScreen().Click(x, y);
    EXPECT_TRUE(WaitFor([&] { return told("mainframe.addResult(\"TITLE_CS\""); }, 10000)) << ReadAll(calls);
    EXPECT_TRUE(WaitFor([&] { return told("mainframe.addResult(\"REPAIR2\",\"0\")") ||
                                     told("mainframe.addResult(\"REPAIR0\",\"0\")"); },
                        30000))
        << ReadAll(calls);
    std::this_thread::sleep_for(std::chrono::milliseconds(1800));
    TestScreen().CaptureToPng(out / "screen-program-repair.png");
    EXPECT_EQ(std::string::npos, ReadAll(calls).find(" failed")) << ReadAll(calls);

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    fs::remove_all(dir);
}
