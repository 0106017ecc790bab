// The pages over the program's real dispatcher, in the real control (WebKitGTK, Xvfb), on a
// machine with one token in its reader.
#include <gtest/gtest.h>

#include "RecordingDialog.h"
#include "TokenDeviceChecks.h"

namespace
{
class Flow : public FreshAssistantMachine
{
protected:
    void SetUp() override
    {
        FreshAssistantMachine::SetUp();
        ASSERT_EQ(0, MakeTokenMachine(m_dir));
        SetKivoMessageBox([this](HWND, const std::u16string& text, const std::u16string&, UINT) {
            m_boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        // The workers are not tracked: the dialog stays until they are surely gone.
        CRecordingDlg::Pump([] { return false; }, 300);
        SetKivoMessageBox(nullptr);
        FreshAssistantMachine::TearDown();
    }
    std::u16string TokenCode(const std::vector<CRecordingDlg::Pair>& pairs)
    {
        for (const auto& p : pairs)
            if (p.first == u"UKEY_WQ2372" || p.first == u"UKEY_NO_KEY" || p.first == u"UKEY_WQ2376")
                return p.first;
        return u"<none>";
    }

    TokenDeviceChecks m_checks;
    CKivoImpIDispatch m_external;
    CKivoLog m_log;
    std::vector<std::u16string> m_boxes;
};
} // namespace

TEST_F(Flow, OverlappingPageRequestsRunFiftyRounds)
{
    qm::SetProcessElevated(true);
    auto* dlg = new CRecordingDlg(m_external, m_log, &m_checks, 0); // outlives its workers
    ASSERT_TRUE(dlg->Create());
    ASSERT_TRUE(dlg->Browser().GetControl()) << "no display for the page engine";
    // The start-up's full check first.
    ASSERT_TRUE(CRecordingDlg::Pump([&] { return dlg->EndMarkers() == 1 && dlg->JobState().m_nBusy == 0; }, 30000));
    EXPECT_EQ(u"UKEY_WQ2372", TokenCode(dlg->Pairs()));

    // The page script that crashed the program, every 20 ms instead of every 1.5 s: each
    // round starts before the last one's workers are done.
    constexpr int kRounds = 50;
    EXPECT_EQ(u"0", dlg->Eval(u"", u"(window.rounds = 0, (function round() {"
                                    u"for (var i = 0; i < 4; i++) window.external.KivoSysCall(1, 'QV');"
                                    u"for (var j = 0; j < 2; j++) window.external.KivoSysCall(4, 'QV');"
                                    u"if (++window.rounds < 50) setTimeout(round, 20); })(), 0)"));
    ASSERT_TRUE(CRecordingDlg::Pump([&] { return dlg->EndMarkers() == 1 + 6 * kRounds; }, 120000))
        << dlg->EndMarkers() << " jobs ended";
    EXPECT_EQ(u"50", dlg->Eval(u"", u"window.rounds"));
    size_t valid = 0;
    for (const auto& p : dlg->Pairs())
        valid += p.first == u"UKEY_WQ2372";
    EXPECT_EQ(1u + 6 * kRounds, valid) << "every job read the one token";
    ASSERT_TRUE(CRecordingDlg::Pump([&] { return dlg->JobState().m_nBusy == 0; }, 10000));
    EXPECT_TRUE(m_boxes.empty());
}
