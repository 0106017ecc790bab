// Windows and messages: creation and destruction order, subclassing, the queue's order,
// errors, geometry, system metrics and mouse-leave tracking.
#include "window_test_support.h"

#include <cstdlib>
#include <filesystem>

#include "qm/machine.h"

namespace
{
std::vector<RecordedMessage> g_log;
WNDPROC g_original = nullptr;

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_log.push_back({hwnd, msg, wParam, lParam});
    if (msg == WM_USER + 1)
        return 41;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_USER + 1)
        return CallWindowProcW(g_original, hwnd, msg, wParam, lParam) + 1;
    return CallWindowProcW(g_original, hwnd, msg, wParam, lParam);
}

class WindowsTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        WNDCLASSEXW wc{sizeof wc};
        wc.lpfnWndProc = LoggingProc;
        wc.lpszClassName = u"Logging";
        wc.style = CS_DBLCLKS;
        ASSERT_NE(RegisterClassExW(&wc), 0);
        g_log.clear();
    }
    void TearDown() override
    {
        UnregisterClassW(u"Logging", nullptr);
        WindowTest::TearDown();
    }
    static HWND Make(HWND parent = nullptr, DWORD style = WS_POPUP | WS_VISIBLE, RECT r = {100, 100, 300, 250})
    {
        return CreateWindowExW(0, u"Logging", u"w", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                               nullptr, nullptr, nullptr);
    }
    static std::vector<std::pair<HWND, UINT>> Only(std::initializer_list<UINT> wanted)
    {
        std::vector<std::pair<HWND, UINT>> out;
        for (const auto& m : g_log)
            if (std::find(wanted.begin(), wanted.end(), m.message) != wanted.end())
                out.push_back({m.hwnd, m.message});
        return out;
    }
};
} // namespace

TEST_F(WindowsTest, CreationAndDestructionOrder)
{
    HWND parent = Make();
    HWND child = Make(parent, WS_CHILD | WS_VISIBLE, {10, 10, 50, 50});
    ASSERT_TRUE(parent && child);
    auto created = Only({WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE});
    std::vector<std::pair<HWND, UINT>> expected = {{parent, WM_NCCREATE}, {parent, WM_CREATE}, {parent, WM_SIZE},
                                                    {parent, WM_MOVE},     {child, WM_NCCREATE},  {child, WM_CREATE},
                                                    {child, WM_SIZE},      {child, WM_MOVE}};
    EXPECT_EQ(created, expected);
    g_log.clear();
    EXPECT_TRUE(DestroyWindow(parent));
    // WM_DESTROY parent first, WM_NCDESTROY children first.
    auto destroyed = Only({WM_DESTROY, WM_NCDESTROY});
    expected = {{parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    EXPECT_EQ(destroyed, expected);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(parent));
}

TEST_F(WindowsTest, CreationErrors)
{
    struct Case
    {
        const char* what;
        HWND got;
        DWORD error;
    };
    SetLastError(0);
    HWND a = CreateWindowExW(0, u"NoSuchClass", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DWORD ea = GetLastError();
    HWND b = CreateWindowExW(0, u"Logging", nullptr, WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DWORD eb = GetLastError();
    HWND c = CreateWindowExW(0, u"Logging", nullptr, WS_CHILD, 0, 0, 1, 1, reinterpret_cast<HWND>(0x4242), nullptr,
                             nullptr, nullptr);
    DWORD ec = GetLastError();
    Case cases[] = {{"unknown class", a, ea}, {"child without parent", b, eb}, {"bad parent", c, ec}};
    DWORD expected[] = {ERROR_CANNOT_FIND_WND_CLASS, ERROR_TLW_WITH_WSCHILD, ERROR_INVALID_WINDOW_HANDLE};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(cases[i].got, nullptr) << cases[i].what;
        EXPECT_EQ(cases[i].error, expected[i]) << cases[i].what;
    }
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x4242), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = u"LOGGING"; // class names ignore case
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
}

TEST_F(WindowsTest, SubclassingChainsToThePreviousProcedure)
{
    HWND w = Make();
    EXPECT_EQ(SendMessageW(w, WM_USER + 1, 0, 0), 41);
    g_original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    EXPECT_EQ(g_original, &LoggingProc);
    EXPECT_EQ(SendMessageW(w, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(SubclassProc));
    // Posted messages reach the subclass through DispatchMessage too.
    PostMessageW(w, WM_USER + 1, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, w, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(DispatchMessageW(&m), 42);
    DestroyWindow(w);
}

TEST_F(WindowsTest, QueueOrderFiltersAndQuit)
{
    HWND w = Make();
    Pump();
    PostMessageW(w, WM_USER + 5, 1, 0);
    PostMessageW(w, WM_USER + 3, 2, 0);
    PostMessageW(w, WM_USER + 5, 3, 0);
    MSG m;
    // A range filter takes the first matching message and leaves the others in order.
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 1u);
    ASSERT_EQ(GetMessageW(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.wParam, 1u);
    ASSERT_EQ(GetMessageW(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.wParam, 3u);
    // Invalidated windows get WM_PAINT only once the posted messages are gone.
    InvalidateRect(w, nullptr, TRUE);
    PostMessageW(w, WM_USER + 7, 0, 0);
    ASSERT_EQ(GetMessageW(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 7));
    ASSERT_EQ(GetMessageW(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&m);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
    PostQuitMessage(7);
    EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_EQ(GetMessageW(&m, reinterpret_cast<HWND>(0x4242), 0, 0), -1);
    DestroyWindow(w);
}

TEST_F(WindowsTest, GeometryPositionsAndMetrics)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    qm::win::SetScreenSize(1280, 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 800);
    qm::win::SetScreenSize(1920, 1080);
    HWND w = CreateWindowExW(0, u"Logging", u"caption", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 100, 300,
                             200, nullptr, nullptr, nullptr, nullptr);
    HWND child = Make(w, WS_CHILD | WS_VISIBLE, {10, 20, 60, 70});
    RECT wr, cr;
    GetWindowRect(w, &wr);
    GetClientRect(w, &cr);
    EXPECT_EQ(wr.right - wr.left, 300);
    int frame = GetSystemMetrics(SM_CXDLGFRAME);
    EXPECT_EQ(cr.right, 300 - 2 * frame);
    EXPECT_EQ(cr.bottom, 200 - 2 * frame - GetSystemMetrics(SM_CYCAPTION));
    RECT adjusted{0, 0, cr.right, cr.bottom};
    AdjustWindowRectEx(&adjusted, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, 0);
    EXPECT_EQ(adjusted.right - adjusted.left, 300);
    GetWindowRect(child, &wr);
    POINT origin = qm::win::ClientPointToScreen(w, 0, 0);
    EXPECT_EQ(wr.left, origin.x + 10);
    EXPECT_EQ(wr.top, origin.y + 20);
    POINT p{wr.left + 1, wr.top + 2};
    ScreenToClient(child, &p);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 2);
    EXPECT_EQ(WindowFromPoint({wr.left + 5, wr.top + 5}), child);
    // A plain static control lets the mouse through to its parent; SS_NOTIFY keeps it.
    HWND label = CreateWindowExW(0, u"Static", u"", WS_CHILD | WS_VISIBLE, 100, 20, 40, 20, w, nullptr, nullptr, nullptr);
    HWND notifying = CreateWindowExW(0, u"Static", u"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 150, 20, 40, 20, w, nullptr,
                                     nullptr, nullptr);
    EXPECT_EQ(WindowFromPoint(qm::win::ClientPointToScreen(w, 110, 30)), w);
    EXPECT_EQ(WindowFromPoint(qm::win::ClientPointToScreen(w, 160, 30)), notifying);
    DestroyWindow(label);
    g_log.clear();
    EXPECT_TRUE(SetWindowPos(w, HWND_TOP, 50, 60, 400, 300, 0));
    GetWindowRect(w, &wr);
    EXPECT_EQ(wr.left, 50);
    EXPECT_EQ(wr.top, 60);
    EXPECT_EQ(wr.bottom - wr.top, 300);
    EXPECT_EQ(Only({WM_SIZE, WM_MOVE}).size(), 2u);
    // SWP_NOSIZE | SWP_NOMOVE changes neither.
    EXPECT_TRUE(SetWindowPos(w, nullptr, 0, 0, 1, 1, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER));
    RECT same;
    GetWindowRect(w, &same);
    EXPECT_TRUE(EqualRect(&same, &wr));
    EXPECT_EQ(GetActiveWindow(), w);
    EXPECT_EQ(GetForegroundWindow(), w);
    // HWND_TOPMOST makes a window topmost, its extended style says so; HWND_NOTOPMOST undoes it.
    const UINT keep = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
    EXPECT_TRUE(SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, keep));
    EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, keep));
    EXPECT_FALSE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyWindow(w);
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(WindowsTest, MouseLeaveAfterTracking)
{
    HWND w = Make();
    POINT inside = qm::win::ClientPointToScreen(w, 10, 10);
    qm::win::InjectMouseMove(inside.x, inside.y);
    Pump();
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, inside.x);
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, w, 0};
    EXPECT_TRUE(TrackMouseEvent(&tme));
    g_log.clear();
    qm::win::InjectMouseMove(inside.x + 5, inside.y);
    Pump();
    EXPECT_TRUE(Only({WM_MOUSELEAVE}).empty());
    EXPECT_EQ(Only({WM_MOUSEMOVE}).size(), 1u);
    qm::win::InjectMouseMove(5, 5); // off the window
    Pump();
    EXPECT_EQ(Only({WM_MOUSELEAVE}).size(), 1u);
    // Once delivered the request is spent.
    qm::win::InjectMouseMove(inside.x, inside.y);
    qm::win::InjectMouseMove(5, 5);
    Pump();
    EXPECT_EQ(Only({WM_MOUSELEAVE}).size(), 1u);
    // A request while the cursor is elsewhere is answered at once.
    EXPECT_TRUE(TrackMouseEvent(&tme));
    Pump();
    EXPECT_EQ(Only({WM_MOUSELEAVE}).size(), 2u);
    TRACKMOUSEEVENT bad{0, TME_LEAVE, w, 0};
    EXPECT_FALSE(TrackMouseEvent(&bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A double-click on a CS_DBLCLKS class: down, up, double-click, up.
    g_log.clear();
    qm::win::InjectDoubleClick(inside.x, inside.y);
    Pump();
    auto clicks = Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
    std::vector<std::pair<HWND, UINT>> expected = {
        {w, WM_LBUTTONDOWN}, {w, WM_LBUTTONUP}, {w, WM_LBUTTONDBLCLK}, {w, WM_LBUTTONUP}};
    EXPECT_EQ(clicks, expected);
    DestroyWindow(w);
}

// The screen is a fact of the machine; a test's own size wins over it.
TEST_F(WindowsTest, ScreenSizeComesFromTheMachine)
{
    char dirTemplate[] = "/tmp/qm-screen-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string previous = qm::MachineDirectory();
    qm::SetMachineDirectory(dirTemplate);
    qm::SetProcessElevated(true);
    unsetenv("QM_SCREEN_SIZE");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmark\\Machine", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char16_t value[] = u"1366x768";
    ASSERT_EQ(RegSetValueExW(key, u"ScreenSize", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value)),
              ERROR_SUCCESS);
    RegCloseKey(key);
    qm::win::ResetScreenSize();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1366);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    qm::win::SetScreenSize(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    qm::win::SetScreenSize(1920, 1080);
    qm::SetProcessElevated(false);
    qm::SetMachineDirectory(previous);
    std::filesystem::remove_all(dirTemplate);
}
