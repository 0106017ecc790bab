// The selection as the signing agent calls it: the shortcut for one candidate, the dialog's
// results for the user's actions, its rows, its size, and its failures.
#include <gtest/gtest.h>

#include <qm/trace_capture.h>
#include <qm/windowing.h>

#include "ModuleHandle.h"
#include "Trace.h"
#include "SelectionDialogMachine.h"

using namespace dialog_test;

namespace
{
const HRESULT kCancelled = static_cast<HRESULT>(0xA0071002);
const HRESULT kNoDialog = static_cast<HRESULT>(0x8007057E);

std::u16string CommonName(PCCERT_CONTEXT pCert)
{
    WCHAR wsz[256] = {};
    CertGetNameStringW(pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, wsz, 256);
    return wsz;
}

bool SameCertificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b)
{
    return a && b && a->cbCertEncoded == b->cbCertEncoded &&
           memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}
} // namespace

class SelectCertificateDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qm::win::SetScreenSize(1920, 1080);
        SetThreadUILanguage(0x0409);
        SetCursorPos(0, 0); // away from where the dialog opens
        m_nWindowsBefore = qm::win::LiveWindows();
    }
    void TearDown() override
    {
        qm::win::SetIdleHook(nullptr);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        SetThreadUILanguage(0);
        qm::win::ResetScreenSize();
        EXPECT_EQ(qm::win::LiveWindows(), m_nWindowsBefore) << "windows left behind";
    }

    // Runs the selection with the script; the chosen certificate (or null) into *ppChosen.
    HRESULT Select(CDialogScript& script, const CertificateList& candidates, PCCERT_CONTEXT* ppChosen,
                   DWORD dwForce = 0, HWND hwndParent = nullptr)
    {
        script.Install();
        SelectCertificateParams params = AgentParams(dwForce, hwndParent);
        *ppChosen = nullptr;
        HRESULT hr = CustomCryptUIDlgSelectCertificate(&params, candidates, ppChosen);
        qm::win::SetIdleHook(nullptr);
        return hr;
    }

    CSelectionDialogMachine m_machine;
    size_t m_nWindowsBefore = 0;
};

TEST_F(SelectCertificateDialogTest, OneCandidateIsTakenWithoutAWindow)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=Only/O=Org", KeyKind::Software));
    CDialogScript script;
    PCCERT_CONTEXT pChosen = nullptr;
    EXPECT_EQ(S_OK, Select(script, c.list, &pChosen));
    EXPECT_FALSE(script.Ran()) << "no dialog for a single candidate";
    ASSERT_TRUE(SameCertificate(pChosen, c.list[0]));
    // A reference of the caller's own: freeing it leaves the candidate usable.
    CertFreeCertificateContext(pChosen);
    EXPECT_EQ(u"Only", CommonName(c.list[0]));
}

TEST_F(SelectCertificateDialogTest, UserActionsGiveTheirResults)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=Bravo/O=Org", KeyKind::Software));
    c.list.push_back(m_machine.AddCertificate("/CN=alpha/O=Org", KeyKind::Software));

    auto key = [](UINT vk) { return [vk](HWND) { qm::win::InjectKey(vk); }; };
    auto clickButton = [](int id) {
        return [id](HWND hDlg) {
            HWND hButton = GetDlgItem(hDlg, id);
            RECT rc = {};
            GetClientRect(hButton, &rc);
            POINT pt = qm::win::ClientPointToScreen(hButton, rc.right / 2, rc.bottom / 2);
            qm::win::InjectClick(pt.x, pt.y);
        };
    };
    auto clickRow = [](int row) {
        return [row](HWND hDlg) {
            POINT pt = RowCentre(hDlg, row);
            qm::win::InjectClick(pt.x, pt.y);
        };
    };
    auto doubleClick = [](int y) {
        return [y](HWND hDlg) {
            POINT pt = ListPoint(hDlg, ListWidth(hDlg) / 2, y);
            qm::win::InjectDoubleClick(pt.x, pt.y);
        };
    };
    auto stillOpen = [](HWND hDlg) { EXPECT_TRUE(IsWindowVisible(hDlg)) << "the dialog stays after the viewer"; };
    auto closeBox = [](HWND hDlg) { qm::win::InjectCloseBox(hDlg); };

    struct Case
    {
        const char* name;
        std::vector<CDialogScript::Step> steps;
        HRESULT hr;
        const char16_t* chosen; // null: none
        int viewers;
    } cases[] = {
        {"Enter at once takes the first row", {key(VK_RETURN)}, S_OK, u"alpha", 0},
        {"Cancel button", {clickButton(IDCANCEL)}, kCancelled, nullptr, 0},
        {"Escape", {key(VK_ESCAPE)}, kCancelled, nullptr, 0},
        {"close box", {closeBox}, kCancelled, nullptr, 0},
        {"second row and OK", {clickRow(1), clickButton(IDOK)}, S_OK, u"Bravo", 0},
        {"arrow down and Enter", {clickRow(0), key(VK_DOWN), key(VK_RETURN)}, S_OK, u"Bravo", 0},
        {"double-click opens the viewer and keeps the dialog", {doubleClick(120), stillOpen, key(VK_RETURN)}, S_OK,
         u"Bravo", 1},
        {"double-click below the rows opens nothing", {doubleClick(161), stillOpen, key(VK_RETURN)}, S_OK, u"alpha", 0},
    };
    for (auto& t : cases)
    {
        SCOPED_TRACE(t.name);
        CDialogScript script;
        for (auto& step : t.steps)
            script.Then(step);
        PCCERT_CONTEXT pChosen = nullptr;
        EXPECT_EQ(t.hr, Select(script, c.list, &pChosen));
        EXPECT_TRUE(script.Ran());
        EXPECT_EQ(script.StepsRun(), t.steps.size());
        EXPECT_EQ(t.viewers, script.ViewersOpened());
        if (t.chosen)
        {
            ASSERT_NE(pChosen, nullptr);
            EXPECT_EQ(std::u16string(t.chosen), CommonName(pChosen));
            CertFreeCertificateContext(pChosen);
        }
        else
        {
            EXPECT_EQ(pChosen, nullptr) << "failure leaves the out-parameter untouched";
        }
    }
}

TEST_F(SelectCertificateDialogTest, RowsOfTheCandidates)
{
    PCCERT_CONTEXT pSame = m_machine.AddCertificate("/CN=Twice/O=Org", KeyKind::Software);
    struct Case
    {
        const char* name;
        std::vector<PCCERT_CONTEXT> candidates;
        DWORD force;
        int rows;
    } cases[] = {
        {"one candidate with forced dialog", {pSame}, 1, 1},
        {"the same certificate twice", {pSame, pSame}, 0, 1},
        {"no candidate", {}, 0, 0},
    };
    for (const auto& t : cases)
    {
        SCOPED_TRACE(t.name);
        int nRows = -1;
        CDialogScript script;
        script.Then([&](HWND hDlg) {
            nRows = static_cast<int>(SendDlgItemMessageW(hDlg, 1001, LB_GETCOUNT, 0, 0));
            qm::win::InjectKey(VK_ESCAPE);
        });
        PCCERT_CONTEXT pChosen = nullptr;
        EXPECT_EQ(kCancelled, Select(script, CertificateList(t.candidates.begin(), t.candidates.end()), &pChosen,
                                     t.force));
        EXPECT_EQ(t.rows, nRows);
    }
    CertFreeCertificateContext(pSame);
}

TEST_F(SelectCertificateDialogTest, OkOnAnEmptyListChoosesNothing)
{
    CDialogScript script;
    script.Then([](HWND) { qm::win::InjectKey(VK_RETURN); });
    PCCERT_CONTEXT pChosen = nullptr;
    EXPECT_EQ(static_cast<HRESULT>(0x80070490), Select(script, CertificateList(), &pChosen));
    EXPECT_EQ(pChosen, nullptr);
}

TEST_F(SelectCertificateDialogTest, RowsAreOrderedByKeyThenNameWithoutCase)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=beta/O=Org", KeyKind::Hardware));
    c.list.push_back(m_machine.AddCertificate("/CN=Alpha/O=Org", KeyKind::Software));
    c.list.push_back(m_machine.AddCertificate("/CN=alpha2/O=Org", KeyKind::Hardware));
    std::vector<std::u16string> shown;
    CDialogScript script;
    for (int row = 0; row < 3; ++row)
    {
        script.Then([row](HWND hDlg) {
            POINT pt = RowCentre(hDlg, row);
            qm::win::InjectMouseMove(pt.x, pt.y);
        });
        script.Then([&shown](HWND hDlg) {
            UpdateWindow(GetDlgItem(hDlg, 1001));
            shown.push_back(ToolTipText(hDlg));
        });
    }
    script.Then([](HWND) { qm::win::InjectKey(VK_RETURN); });
    PCCERT_CONTEXT pChosen = nullptr;
    ASSERT_EQ(S_OK, Select(script, c.list, &pChosen));
    EXPECT_EQ((std::vector<std::u16string>{u"alpha2", u"beta", u"Alpha"}), shown);
    EXPECT_EQ(u"alpha2", CommonName(pChosen));
    CertFreeCertificateContext(pChosen);
}

TEST_F(SelectCertificateDialogTest, VisibleRowsFollowTheScreenHeight)
{
    CCandidates c;
    for (int i = 0; i < 30; ++i)
        c.list.push_back(m_machine.AddCertificate("/CN=Row " + std::to_string(i) + "/O=Org", KeyKind::None));
    struct Case
    {
        int screenHeight;
        size_t count;
        int rows;
    } cases[] = {{1080, 30, 7}, {1080, 3, 3}, {740, 5, 3}, {579, 5, 0}};
    for (const auto& t : cases)
    {
        SCOPED_TRACE("screen " + std::to_string(t.screenHeight) + ", " + std::to_string(t.count) + " certificates");
        qm::win::SetScreenSize(1920, t.screenHeight);
        RECT rcDialog = {}, rcList = {}, rcOK = {}, rcCancel = {};
        CDialogScript script;
        script.Then([&](HWND hDlg) {
            GetWindowRect(hDlg, &rcDialog);
            GetWindowRect(GetDlgItem(hDlg, 1001), &rcList);
            GetWindowRect(GetDlgItem(hDlg, IDOK), &rcOK);
            GetWindowRect(GetDlgItem(hDlg, IDCANCEL), &rcCancel);
            qm::win::InjectKey(VK_ESCAPE);
        });
        PCCERT_CONTEXT pChosen = nullptr;
        Select(script, CertificateList(c.list.begin(), c.list.begin() + t.count), &pChosen);
        EXPECT_EQ(t.rows * 80 + 2 * GetSystemMetrics(SM_CYDLGFRAME), rcList.bottom - rcList.top);
        int nDialogHeight = rcDialog.bottom - rcDialog.top;
        EXPECT_EQ((t.screenHeight - nDialogHeight) / 2, rcDialog.top) << "centred vertically";
        EXPECT_GT(rcOK.top, rcList.bottom) << "the buttons follow the list";
        EXPECT_EQ(rcOK.top, rcCancel.top);
        EXPECT_LT(rcOK.bottom, rcDialog.bottom);
    }
}

TEST_F(SelectCertificateDialogTest, FailuresOfTheDialog)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=One/O=Org", KeyKind::None));
    c.list.push_back(m_machine.AddCertificate("/CN=Two/O=Org", KeyKind::None));

    // Pictures missing from the resource module: the dialog closes through its cancel path.
    HMODULE hStringsOnly = LoadLibraryW(QM_STRINGS_ONLY_MODULE);
    ASSERT_NE(hStringsOnly, nullptr);
    {
        StartTracing();
        qm::test::TraceCapture capture(TRACE_FLAG_FAILURE, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
        CDialogScript script;
        script.Install();
        SelectCertificateParams params = AgentParams();
        params.hResourceModule = hStringsOnly;
        PCCERT_CONTEXT pChosen = nullptr;
        EXPECT_EQ(kCancelled, CustomCryptUIDlgSelectCertificate(&params, c.list, &pChosen));
        EXPECT_EQ(pChosen, nullptr);
        EXPECT_EQ(0u, script.StepsRun()) << "closed before the user could act";
        // The real cause is in the trace.
        bool bCauseTraced = false;
        for (const auto& e : capture.Events())
            if (!e.args.empty() && e.ArgText(0).find(u"LoadImageFromResource (System certificate)") != std::u16string::npos)
                bCauseTraced = true;
        EXPECT_TRUE(bCauseTraced);
        StopTracing();
    }
    FreeLibrary(hStringsOnly);

    // An owner window that no longer exists: no dialog at all.
    HWND hGone = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(hGone);
    {
        CDialogScript script;
        PCCERT_CONTEXT pChosen = nullptr;
        EXPECT_EQ(kNoDialog, Select(script, c.list, &pChosen, 0, hGone));
        EXPECT_FALSE(script.Ran());
    }

    // Options the selection does not know.
    {
        SelectCertificateParams params = AgentParams();
        params.dwVersion = 2;
        PCCERT_CONTEXT pChosen = nullptr;
        EXPECT_EQ(static_cast<HRESULT>(0x80070057), CustomCryptUIDlgSelectCertificate(&params, c.list, &pChosen));
        EXPECT_EQ(static_cast<HRESULT>(0x80070057), CustomCryptUIDlgSelectCertificate(nullptr, c.list, &pChosen));
        EXPECT_EQ(pChosen, nullptr);
    }
}

TEST_F(SelectCertificateDialogTest, VersionOneTextsAndTitle)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=Single/O=Org", KeyKind::None));
    std::u16string caption, ok, cancel;
    CDialogScript script;
    script.Then([&](HWND hDlg) {
        WCHAR t[64] = {};
        GetWindowTextW(hDlg, t, 64);
        caption = t;
        GetDlgItemTextW(hDlg, IDOK, t, 64);
        ok = t;
        GetDlgItemTextW(hDlg, IDCANCEL, t, 64);
        cancel = t;
        qm::win::InjectKey(VK_RETURN);
    });
    script.Install();
    SelectCertificateParamsV1 params = {1, GetModuleHandleW(nullptr), u"Pick one", u"Take", u"Leave", 0, nullptr};
    PCCERT_CONTEXT pChosen = nullptr;
    // A title shows the dialog even for one candidate.
    ASSERT_EQ(S_OK, CustomCryptUIDlgSelectCertificate(reinterpret_cast<const SelectCertificateParams*>(&params),
                                                      c.list, &pChosen));
    EXPECT_EQ(u"Pick one|Take|Leave", caption + u"|" + ok + u"|" + cancel);
    EXPECT_EQ(u"Single", CommonName(pChosen));
    CertFreeCertificateContext(pChosen);
}

TEST_F(SelectCertificateDialogTest, OpenCloseCyclesLeaveNoObjects)
{
    CCandidates c;
    c.list.push_back(m_machine.AddCertificate("/CN=Cycle one/O=Org", KeyKind::Hardware));
    c.list.push_back(m_machine.AddCertificate("/CN=Cycle two/O=Org", KeyKind::Software));
    auto cycle = [&] {
        CDialogScript script;
        script.Then([](HWND hDlg) {
            POINT pt = RowCentre(hDlg, 1);
            qm::win::InjectMouseMove(pt.x, pt.y);
        });
        script.Then([](HWND hDlg) {
            UpdateWindow(hDlg);
            UpdateWindow(GetDlgItem(hDlg, 1001));
            qm::win::InjectKey(VK_ESCAPE);
        });
        PCCERT_CONTEXT pChosen = nullptr;
        EXPECT_EQ(kCancelled, Select(script, c.list, &pChosen));
    };
    cycle(); // the first run fills the process's caches
    size_t nGdi = qm::win::LiveGdiObjects(), nSurfaces = qm::win::LiveSurfaces(), nWindows = qm::win::LiveWindows();
    for (int i = 0; i < 10; ++i)
        cycle();
    EXPECT_EQ(nGdi, qm::win::LiveGdiObjects());
    EXPECT_EQ(nSurfaces, qm::win::LiveSurfaces());
    EXPECT_EQ(nWindows, qm::win::LiveWindows());
}
