// Requests to jobs: receiving frames, the busy flag, and the pairs of each job in order.
#include "AssistantFixtures.h"

using Pairs = std::vector<ResultPair>;

class Dispatcher : public FreshAssistantMachine
{
protected:
    Pairs Run(int cmd, const std::u16string& args = u"QV", std::u16string* out = nullptr)
    {
        std::u16string text;
        EXPECT_TRUE(DispatchSysCall(cmd, args, &m_dlg, text));
        m_dlg.PumpUntilDone();
        if (out)
            *out = text;
        return m_dlg.m_results;
    }
    static std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }
    static Pairs Tail(const Pairs& all, size_t n) { return Pairs(all.end() - long(std::min(n, all.size())), all.end()); }
    FakeDialog& m_dlg = NewFakeDialog();
};

TEST_F(Dispatcher, EachRequestReachesItsFrame)
{
    struct Case
    {
        int cmd;
        std::u16string args, callback;
    } cases[] = {
        {1, u"QV", u"mainframe1.addResult"},  {2, u"", u"mainframe2.addResult"},
        {3, u"x", u"mainframe3.addResult"},   {4, u"QV", u"mainframe.addResult"},
        {10, u"QVIE", u"mainframe3.addResult"}, {10, u"QVCT", u"mainframe2.addResult"},
        {10, u"QVKEY", u"mainframe1.addResult"}, {10, u"qvkey", u"mainframe.addResult"},
        {10, u"QV", u"mainframe.addResult"},
    };
    qm::SetProcessElevated(true);
    for (const auto& c : cases)
    {
        SCOPED_TRACE("cmd " + std::to_string(c.cmd) + " args \"" + Narrow(c.args) + "\"");
        m_dlg.m_results.clear();
        Pairs pairs = Run(c.cmd, c.args);
        ASSERT_FALSE(pairs.empty());
        for (const auto& p : pairs)
        {
            SCOPED_TRACE("pair " + Narrow(p.code) + "/" + Narrow(p.status));
            EXPECT_EQ(c.callback, p.callback);
            EXPECT_TRUE(p.onWindowThread) << "the page is called on the dialog's thread";
            // The repair allows navigation again once the second installer has run.
            if (c.cmd != 10 || p.code == u"TITLE_CS")
                EXPECT_EQ(1, p.busy) << "busy while the job runs";
            else
                EXPECT_EQ(0, p.busy) << "the middleware installer's pairs come after busy cleared";
        }
        EXPECT_EQ(0, m_dlg.m_state.m_nBusy.load());
    }
}

TEST_F(Dispatcher, UnknownCommandAnswersParmErrAndOnlyClearsBusy)
{
    m_dlg.m_state.m_strCallbackName = u"mainframe2.addResult";
    std::u16string out;
    EXPECT_TRUE(DispatchSysCall(99, u"QV", &m_dlg, out));
    EXPECT_EQ(u"PARM ERR", out);
    for (int i = 0; i < 10000 && m_dlg.m_state.m_nBusy; ++i)
        Sleep(1);
    EXPECT_EQ(0, m_dlg.m_state.m_nBusy.load());
    EXPECT_EQ(u"mainframe2.addResult", m_dlg.m_state.m_strCallbackName);
    EXPECT_TRUE(m_dlg.m_results.empty());

    out.clear();
    Run(4, u"QV", &out);
    EXPECT_EQ(u"", out);
}

TEST_F(Dispatcher, UnboundDocumentRunsNothing)
{
    m_dlg.m_bindable = false;
    std::u16string out;
    EXPECT_FALSE(DispatchSysCall(4, u"QV", &m_dlg, out));
    ASSERT_EQ(1u, m_dlg.m_messages.size());
    EXPECT_EQ(u"js.SetDocument() failed.", m_dlg.m_messages[0]);
    EXPECT_EQ(0, m_dlg.m_state.m_nBusy.load());
    EXPECT_EQ(0, m_dlg.m_state.m_nJobCode.load());
    EXPECT_TRUE(m_dlg.m_state.m_strCallbackName.empty());
}

TEST_F(Dispatcher, FullCheckWithoutMiddleware)
{
    m_dlg.m_checks.middleware = 0;
    m_dlg.m_checks.network = 0;
    m_dlg.m_checks.sign = 1;
    m_dlg.m_checks.enroll = 2;
    Pairs expected = {
        {{}, u"TITLE_WS", u"10"},     {{}, u"OS0", u"Microsoft Windows seven"},
        {{}, u"ADMIN0", u"Administrator"}, {{}, u"IE0", u"IE 8.0"},
        {{}, u"WEB1", u"40"},         {{}, u"TITLE_IE", u"55"},
        {{}, u"SITE0", u"60"},        {{}, u"IELEVEL2", u"60"},
        {{}, u"TITLE_RC", u"65"},     {{}, u"ROOTCERT0", u"90"},
        {{}, u"TITLE_CT", u"75"},     {{}, u"CONTROL3", u"80"},
        {{}, u"SIGN0", u"80"},        {{}, u"PRT2", u"80"},
        {{}, u"TITLE_UK", u"95"},     {{}, u"UKEY_NO_DRIVER", u"90"},
        {{}, u"UKEY_WQ2324", u"100"}, {{}, u"TITLE_IE", u"0"},
    };
    EXPECT_EQ(expected, Run(4));
}

TEST_F(Dispatcher, UsbKeyJobs)
{
    struct Case
    {
        const char* name;
        int tokens, certState, complete;
        Pairs expected;
    } cases[] = {
        {"two tokens, first expired", 2, 2, 1,
         {{{}, u"TITLE_UK", u"1"}, {{}, u"VERSION", u"95"}, {{}, u"UKEY_WQ2322", u"25"}, {{}, u"UKEY_WQ2301", u"50"},
          {{}, u"UKEY_WQ2377", u"75"}, {{}, u"UKEY_WQ2373", u"100"}, {{}, u"TITLE_UK", u"0"}}},
        {"no token", -1, 0, 1,
         {{{}, u"TITLE_UK", u"1"}, {{}, u"VERSION", u"95"}, {{}, u"UKEY_WQ2322", u"25"}, {{}, u"UKEY_NO_KEY", u"50"},
          {{}, u"TITLE_UK", u"0"}}},
        {"library unreadable", 1, -1, 1,
         {{{}, u"TITLE_UK", u"1"}, {{}, u"VERSION", u"95"}, {{}, u"UKEY_WQ2322", u"25"}, {{}, u"UKEY_WQ2301", u"50"},
          {{}, u"UKEY_WQ2374", u"100"}, {{}, u"TITLE_UK", u"0"}}},
        {"incomplete middleware", 1, 0, 0,
         {{{}, u"TITLE_UK", u"1"}, {{}, u"VERSION", u"95"}, {{}, u"UKEY_WQ2321", u"50"}, {{}, u"UKEY_WQ2324", u"100"},
          {{}, u"TITLE_UK", u"0"}}},
    };
    for (const auto& c : cases)
    {
        m_dlg.m_results.clear();
        m_dlg.m_checks.tokens = c.tokens;
        m_dlg.m_checks.certState = c.certState;
        m_dlg.m_checks.complete = c.complete;
        EXPECT_EQ(c.expected, Run(1)) << c.name;
    }
}

TEST_F(Dispatcher, SystemJobJoinsItsInformation)
{
    m_dlg.m_checks.userType = 3;
    m_dlg.m_checks.zone = 0;
    Pairs pairs = Run(3);
    ASSERT_GE(pairs.size(), 2u);
    EXPECT_EQ((ResultPair{{}, u"OS0", u"操作系统版本：Microsoft Windows seven;用户：Guest;IE版本：IE 8.0"}), pairs[1]);
    EXPECT_EQ((ResultPair{{}, u"IELEVEL0", u"75"}), pairs[5]);
    EXPECT_EQ((ResultPair{{}, u"TITLE_RC", u"0"}), pairs.back());
}

TEST_F(Dispatcher, ControlJob)
{
    m_dlg.m_checks.sign = 2;
    m_dlg.m_checks.enrollFiles = 1;
    Pairs expected = {{{}, u"TITLE_CT", u"10"}, {{}, u"CONTROL2", u"50"}, {{}, u"SI2", u"100"}, {{}, u"TITLE_CT", u"0"}};
    EXPECT_EQ(expected, Run(2));
}

TEST_F(Dispatcher, SecondRequestWhileBusyTakesOverTheFrame)
{
    // Both workers run; neither corrupts the other's pairs, and the busy flag ends clear.
    std::u16string out;
    ASSERT_TRUE(DispatchSysCall(2, u"QV", &m_dlg, out));
    ASSERT_TRUE(DispatchSysCall(3, u"QV", &m_dlg, out));
    m_dlg.PumpUntilDone(2);
    for (const auto& p : m_dlg.m_results)
    {
        EXPECT_EQ(u"mainframe3.addResult", p.callback);
        EXPECT_FALSE(p.code.empty());
        EXPECT_FALSE(p.status.empty());
    }
    EXPECT_EQ(2, m_dlg.EndMarkers());
}
