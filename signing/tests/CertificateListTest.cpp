// The owner-drawn cards as the screen shows them: highlights that follow the mouse, the
// selected row, icons by key, fonts by language and system version, long names, the
// tooltip, and no drawing resources left behind by mouse moves.
#include <gtest/gtest.h>

#include <malloc.h>

#include <commctrl.h>
#include <gdiplus.h>
#include <qm/windowing.h>

#include "FoundationLibrary.h"
#include "SelectionDialogMachine.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QM_TEST_ASAN 1
#endif
#ifdef QM_TEST_ASAN
#include <sanitizer/allocator_interface.h>
#endif

using namespace dialog_test;

namespace
{
const COLORREF kSelectedTop = RGB(0xDD, 0xEC, 0xFD);
const COLORREF kSelectedBottom = RGB(0xC2, 0xDC, 0xFD);
const COLORREF kSelectedBorder = RGB(0x7D, 0xB6, 0xCE);
const COLORREF kHotTop = RGB(0xFD, 0xFE, 0xFF);
const COLORREF kHotBottom = RGB(0xB9, 0xD7, 0xFC);
const COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);

size_t HeapInUse()
{
#ifdef QM_TEST_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

struct InkBox
{
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    bool Empty() const { return right < 0; }
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

// Pixels of the window (window coordinates) that the predicate calls ink.
template <class Ink>
InkBox FindInk(HWND hWnd, const RECT& area, Ink ink)
{
    InkBox box;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (ink(qm::win::WindowPixel(hWnd, x, y)))
            {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

bool NotWhite(COLORREF c)
{
    return !Near(c, kWhite, 40);
}
bool Dark(COLORREF c)
{
    return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
}

// An area of the list's client coordinates in the dialog's window coordinates.
RECT ListArea(HWND hDlg, int left, int top, int right, int bottom)
{
    RECT rcWindow = {};
    GetWindowRect(hDlg, &rcWindow);
    POINT a = ListPoint(hDlg, left, top), b = ListPoint(hDlg, right, bottom);
    return {a.x - rcWindow.left, a.y - rcWindow.top, b.x - rcWindow.left, b.y - rcWindow.top};
}

// An area of the dialog's client coordinates in its window coordinates.
RECT DialogArea(HWND hDlg, int left, int top, int right, int bottom)
{
    RECT rcWindow = {};
    GetWindowRect(hDlg, &rcWindow);
    POINT a = {left, top}, b = {right, bottom};
    ClientToScreen(hDlg, &a);
    ClientToScreen(hDlg, &b);
    return {a.x - rcWindow.left, a.y - rcWindow.top, b.x - rcWindow.left, b.y - rcWindow.top};
}

void MoveTo(POINT pt)
{
    qm::win::InjectMouseMove(pt.x, pt.y);
}

// The card's left square as drawn on white and on black: icon `id` scaled to 48 x 48 at
// (14, 14) with the frame over it.
struct IconReference
{
    COLORREF onWhite[80][80];
    COLORREF onBlack[80][80];
};

void DrawReference(UINT id, COLORREF background, COLORREF (&out)[80][80])
{
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    GdiplusStartup(&token, &input, nullptr);
    HDC hScreen = GetDC(nullptr);
    HDC hDC = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 80, 80);
    HGDIOBJ hOld = SelectObject(hDC, hBitmap);
    HBRUSH hBrush = CreateSolidBrush(background);
    RECT rc = {0, 0, 80, 80};
    FillRect(hDC, &rc, hBrush);
    DeleteObject(hBrush);
    Gdiplus::Image* pIcon = nullptr;
    Gdiplus::Image* pFrame = nullptr;
    ASSERT_EQ(S_OK, LoadImageFromResource(GetModuleHandleW(nullptr), id, &pIcon));
    ASSERT_EQ(S_OK, LoadImageFromResource(GetModuleHandleW(nullptr), 107, &pFrame));
    {
        Gdiplus::Graphics g(hDC);
        g.DrawImage(pIcon, Gdiplus::Rect(14, 14, 48, 48), 0, 0, pIcon->GetWidth(), pIcon->GetHeight(),
                    Gdiplus::UnitPixel);
        g.DrawImage(pFrame, 9, 9, 62, 62);
    }
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            out[y][x] = GetPixel(hDC, x, y);
    delete pIcon;
    delete pFrame;
    SelectObject(hDC, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hDC);
    ReleaseDC(nullptr, hScreen);
    GdiplusShutdown(token);
}

int Distance(COLORREF a, COLORREF b)
{
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) + std::abs(int(GetGValue(a)) - int(GetGValue(b))) +
           std::abs(int(GetBValue(a)) - int(GetBValue(b)));
}
} // namespace

class CertificateListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qm::win::SetScreenSize(1920, 1080);
        SetThreadUILanguage(0x0409);
        SetCursorPos(0, 0); // away from where the dialog opens
    }
    void TearDown() override
    {
        qm::win::SetIdleHook(nullptr);
        SetThreadUILanguage(0);
        qm::win::ResetScreenSize();
    }

    void AddThree(CCandidates& c)
    {
        c.list.push_back(m_machine.AddCertificate("/CN=Carl/O=Org", KeyKind::Software));
        c.list.push_back(m_machine.AddCertificate("/CN=Anna/O=Token Issuer", KeyKind::Hardware));
        c.list.push_back(m_machine.AddCertificate("/CN=Bert/O=Org", KeyKind::Software));
    }

    HRESULT Run(CDialogScript& script, const CertificateList& candidates)
    {
        script.Install();
        SelectCertificateParams params = AgentParams(1);
        PCCERT_CONTEXT pChosen = nullptr;
        HRESULT hr = CustomCryptUIDlgSelectCertificate(&params, candidates, &pChosen);
        if (pChosen)
            CertFreeCertificateContext(pChosen);
        qm::win::SetIdleHook(nullptr);
        return hr;
    }

    CSelectionDialogMachine m_machine;
};

TEST_F(CertificateListTest, HighlightsFollowTheMouseAndTheSelection)
{
    CCandidates c;
    AddThree(c); // rows: Anna (hardware key), Bert, Carl
    struct Expect
    {
        COLORREF top[3];
        COLORREF bottom[3];
    };
    const Expect none = {{kSelectedTop, kWhite, kWhite}, {kSelectedBottom, kWhite, kWhite}};
    const Expect onRow1 = {{kSelectedTop, kHotTop, kWhite}, {kSelectedBottom, kHotBottom, kWhite}};
    const Expect onRow2 = {{kSelectedTop, kWhite, kHotTop}, {kSelectedBottom, kWhite, kHotBottom}};
    auto check = [](const char* state, const Expect& e) {
        return [state, e](HWND hDlg) {
            SCOPED_TRACE(state);
            qm::win::RenderWindowToPng(hDlg, OutputPng(std::string("cards-") + state));
            int w = ListWidth(hDlg);
            for (int row = 0; row < 3; ++row)
            {
                COLORREF top = ListPixel(hDlg, w - 6, row * 80 + 3);
                COLORREF bottom = ListPixel(hDlg, w - 6, row * 80 + 76);
                EXPECT_TRUE(Near(top, e.top[row])) << "row " << row << " top " << ColourText(top);
                EXPECT_TRUE(Near(bottom, e.bottom[row])) << "row " << row << " bottom " << ColourText(bottom);
            }
            COLORREF border = ListPixel(hDlg, w / 2, 0);
            EXPECT_TRUE(Near(border, kSelectedBorder, 24)) << "selected border " << ColourText(border);
        };
    };
    auto leaveList = [](HWND hDlg) {
        POINT pt = {5, 5};
        ClientToScreen(hDlg, &pt);
        MoveTo(pt);
    };
    CDialogScript script;
    script.Then(leaveList)
        .Then(check("start", none))
        .Then([](HWND hDlg) { MoveTo(RowCentre(hDlg, 1)); })
        .Then(check("hover-row-1", onRow1))
        .Then([](HWND hDlg) { MoveTo(RowCentre(hDlg, 2)); })
        .Then(check("hover-row-2", onRow2))
        .Then(leaveList)
        .Then(check("mouse-left-list", none))
        .Then([](HWND) { qm::win::InjectKey(VK_ESCAPE); });
    EXPECT_EQ(static_cast<HRESULT>(0xA0071002), Run(script, c.list));
    EXPECT_EQ(9u, script.StepsRun());
}

TEST_F(CertificateListTest, IconShowsWhereTheKeyLives)
{
    static IconReference ref105, ref106;
    DrawReference(105, kWhite, ref105.onWhite);
    DrawReference(105, RGB(0, 0, 0), ref105.onBlack);
    DrawReference(106, kWhite, ref106.onWhite);
    DrawReference(106, RGB(0, 0, 0), ref106.onBlack);
    // Opaque points (same on both backgrounds) where the two pictures differ most.
    std::vector<POINT> samples;
    std::vector<std::pair<int, POINT>> scored;
    for (int y = 9; y < 71; ++y)
        for (int x = 9; x < 71; ++x)
            if (ref105.onWhite[y][x] == ref105.onBlack[y][x] && ref106.onWhite[y][x] == ref106.onBlack[y][x])
                scored.push_back({Distance(ref105.onWhite[y][x], ref106.onWhite[y][x]), POINT{x, y}});
    std::sort(scored.begin(), scored.end(), [](auto& a, auto& b) { return a.first > b.first; });
    ASSERT_GE(scored.size(), 5u);
    ASSERT_GT(scored[0].first, 60) << "the two pictures must be told apart";
    for (size_t i = 0; i < 5; ++i)
        samples.push_back(scored[i * 7 % scored.size()].second);

    CCandidates c;
    AddThree(c); // row 0: hardware key, rows 1 and 2: software keys
    CDialogScript script;
    script.Then([&](HWND hDlg) {
        qm::win::RenderWindowToPng(hDlg, OutputPng("cards-icons"));
        for (POINT p : samples)
        {
            COLORREF hw = ListPixel(hDlg, p.x, p.y);
            COLORREF sw = ListPixel(hDlg, p.x, 80 + p.y);
            EXPECT_LE(Distance(hw, ref106.onWhite[p.y][p.x]), 24) << p.x << "," << p.y << " " << ColourText(hw);
            EXPECT_LE(Distance(sw, ref105.onWhite[p.y][p.x]), 24) << p.x << "," << p.y << " " << ColourText(sw);
        }
        qm::win::InjectKey(VK_ESCAPE);
    });
    Run(script, c.list);
}

TEST_F(CertificateListTest, FacesFollowLanguageAndSystemVersion)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=Wang Fang/O=Org", KeyKind::None));
    c.list.push_back(m_machine.AddCertificate("/CN=Zhou Min/O=Org", KeyKind::None));
    struct Case
    {
        const char* name;
        LANGID language;
        DWORD major;
        std::u16string caption;
        InkBox prompt, firstLine;
        bool blueInk = false;
    } cases[] = {
        {"english-6", 0x0409, 6, u"Windows Security"},
        {"chinese-6", 0x0804, 6, u"Windows \u5b89\u5168"},
        {"english-5", 0x0409, 5, u"Windows Security"},
    };
    for (auto& t : cases)
    {
        SCOPED_TRACE(t.name);
        SetThreadUILanguage(t.language);
        m_machine.SetMajorVersion(t.major);
        CDialogScript script;
        script.Then([&](HWND hDlg) {
            qm::win::RenderWindowToPng(hDlg, OutputPng(std::string("dialog-") + t.name));
            WCHAR wsz[64] = {};
            GetWindowTextW(hDlg, wsz, 64);
            EXPECT_EQ(t.caption, std::u16string(wsz));
            RECT rcClient = {};
            GetClientRect(hDlg, &rcClient);
            RECT promptArea = DialogArea(hDlg, 0, 0, rcClient.right, 40);
            t.prompt = FindInk(hDlg, promptArea, NotWhite);
            t.blueInk = !FindInk(hDlg, promptArea, [](COLORREF px) { return Near(px, RGB(0x00, 0x33, 0x99), 40); })
                             .Empty();
            int w = ListWidth(hDlg);
            t.firstLine = FindInk(hDlg, ListArea(hDlg, 80, 80 + 3, w, 80 + 24), Dark); // the unselected row
            qm::win::InjectKey(VK_ESCAPE);
        });
        Run(script, c.list);
        ASSERT_FALSE(t.prompt.Empty());
        EXPECT_TRUE(t.blueInk) << "the prompt is drawn in 0x993300";
        ASSERT_FALSE(t.firstLine.Empty());
    }
    const auto& en6 = cases[0];
    const auto& zh6 = cases[1];
    const auto& en5 = cases[2];
    EXPECT_LT(zh6.prompt.Width(), en6.prompt.Width()) << "four Chinese characters against twenty letters";
    EXPECT_GT(en6.prompt.Height(), en5.prompt.Height()) << "22 pixels against 16";
    EXPECT_GT(en6.firstLine.Height(), en5.firstLine.Height()) << "20 pixels against 16";
    // Everything is placed at the same points.
    EXPECT_EQ(en6.prompt.left, en5.prompt.left);
}

TEST_F(CertificateListTest, LongNamesAreCutBeforeTheCardEdge)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=" + std::string(64, 'W') + "/O=Org", KeyKind::None));
    c.list.push_back(m_machine.AddCertificate("/CN=Short/O=" + std::string(64, 'M'), KeyKind::None));
    CDialogScript script;
    script.Then([](HWND hDlg) {
        qm::win::RenderWindowToPng(hDlg, OutputPng("cards-long-names"));
        int w = ListWidth(hDlg);
        for (int row = 0; row < 2; ++row)
        {
            SCOPED_TRACE(row);
            InkBox beyond = FindInk(hDlg, ListArea(hDlg, w - 15, row * 80 + 3, w, row * 80 + 78), Dark);
            EXPECT_TRUE(beyond.Empty()) << "ink at x " << beyond.left;
            InkBox before = FindInk(hDlg, ListArea(hDlg, w - 40, row * 80 + 3, w - 15, row * 80 + 78), Dark);
            EXPECT_FALSE(before.Empty()) << "the text runs up to the limit";
        }
        qm::win::InjectKey(VK_ESCAPE);
    });
    Run(script, c.list);
}

namespace
{
WNDPROC s_pfnToolTip = nullptr;
int s_nTipUpdates = 0;
LRESULT CALLBACK CountingToolTipProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == TTM_UPDATETIPTEXTW)
        ++s_nTipUpdates;
    return CallWindowProcW(s_pfnToolTip, hWnd, uMsg, wParam, lParam);
}
} // namespace

TEST_F(CertificateListTest, ToolTipTextIsSetOncePerRow)
{
    CCandidates c;
    AddThree(c);
    std::vector<int> updates;
    std::vector<std::u16string> texts;
    auto move = [](int row, int x) {
        return [row, x](HWND hDlg) { MoveTo(ListPoint(hDlg, x, row * 80 + 40)); };
    };
    auto note = [&](HWND hDlg) {
        UpdateWindow(GetDlgItem(hDlg, 1001));
        updates.push_back(s_nTipUpdates);
        texts.push_back(ToolTipText(hDlg));
    };
    CDialogScript script;
    script.Then([](HWND hDlg) {
        HWND hTip = ToolTipOf(hDlg);
        ASSERT_NE(hTip, nullptr);
        s_nTipUpdates = 0;
        s_pfnToolTip = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hTip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingToolTipProc)));
    });
    for (auto [row, x] : {std::pair{0, 100}, {0, 140}, {0, 180}, {1, 100}, {1, 150}, {0, 120}})
        script.Then(move(row, x)).Then(note);
    script.Then([](HWND) { qm::win::InjectKey(VK_ESCAPE); });
    Run(script, c.list);
    EXPECT_EQ((std::vector<int>{1, 1, 1, 2, 2, 3}), updates);
    EXPECT_EQ((std::vector<std::u16string>{u"Anna", u"Anna", u"Anna", u"Bert", u"Bert", u"Anna"}), texts);
}

TEST_F(CertificateListTest, MouseMovesLeaveNoDrawingResources)
{
    CCandidates c;
    AddThree(c);
    const int kWarmUp = 30, kMoves = 1000;
    size_t nGdi = 0, nSurfaces = 0, nHeap = 0;
    size_t nGdiAfter = 0, nSurfacesAfter = 0, nHeapAfter = 0;
    int nMove = 0;
    // Each turn paints what the last move invalidated, then moves again.
    auto move = [&](HWND hDlg) {
        UpdateWindow(GetDlgItem(hDlg, 1001));
        if (nMove == kWarmUp)
        {
            nGdi = qm::win::LiveGdiObjects();
            nSurfaces = qm::win::LiveSurfaces();
            nHeap = HeapInUse();
        }
        int row = nMove % 3;
        MoveTo(ListPoint(hDlg, 60 + (nMove * 37) % 300, row * 80 + 10 + (nMove * 13) % 60));
        ++nMove;
    };
    CDialogScript script;
    for (int i = 0; i < kWarmUp + kMoves; ++i)
        script.Then(move);
    script.Then([&](HWND hDlg) {
        UpdateWindow(GetDlgItem(hDlg, 1001));
        nGdiAfter = qm::win::LiveGdiObjects();
        nSurfacesAfter = qm::win::LiveSurfaces();
        nHeapAfter = HeapInUse();
        qm::win::InjectKey(VK_ESCAPE);
    });
    Run(script, c.list);
    EXPECT_EQ(kWarmUp + kMoves, nMove);
    EXPECT_EQ(nGdi, nGdiAfter);
    EXPECT_EQ(nSurfaces, nSurfacesAfter);
    EXPECT_LT(nHeapAfter, nHeap + 64 * 1024) << "heap grew from " << nHeap << " to " << nHeapAfter;
}
