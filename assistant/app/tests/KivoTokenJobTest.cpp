// The USB-key job over the token device (SoftHSM2 behind the vendor library's name): one
// token, the token pulled out and put back, and overlapping requests that all read it.
#include "TokenDeviceChecks.h"

namespace
{
class TokenJob : public FreshAssistantMachine
{
protected:
    void SetUp() override
    {
        FreshAssistantMachine::SetUp();
        ASSERT_EQ(0, MakeTokenMachine(m_dir));
    }
    void TearDown() override
    {
        // A job that found no token leaves the library initialised on this machine's
        // storage; the next test's machine is another one.
        KivoChecks().GetTokenCertState();
        FreshAssistantMachine::TearDown();
    }
    void Token(const char* verb)
    {
        std::string cmd = std::string(QMCTL_PATH) + " --machine '" + m_dir.string() + "' token " + verb;
        ASSERT_EQ(0, std::system(cmd.c_str())) << verb;
    }
    // The codes of job 1's pairs after the middleware's own.
    std::vector<std::u16string> UsbKeyCodes()
    {
        size_t before = m_dlg.m_results.size();
        std::u16string out;
        EXPECT_TRUE(DispatchSysCall(1, u"QV", &m_dlg, out));
        m_dlg.PumpUntilDone(m_dlg.EndMarkers() + 1);
        std::vector<std::u16string> codes;
        for (size_t i = before; i < m_dlg.m_results.size(); ++i)
            if (m_dlg.m_results[i].code.rfind(u"UKEY_", 0) == 0 && m_dlg.m_results[i].code != u"UKEY_WQ2322")
                codes.push_back(m_dlg.m_results[i].code + u"/" + m_dlg.m_results[i].status);
        return codes;
    }
    FakeDialog& m_dlg = NewFakeDialog<TokenDeviceChecks>();
};
} // namespace

TEST_F(TokenJob, OneTokenPulledOutAndPutBack)
{
    using Codes = std::vector<std::u16string>;
    EXPECT_EQ((Codes{u"UKEY_WQ2301/50", u"UKEY_WQ2372/100"}), UsbKeyCodes()) << "one token, one slot";
    Token("pull");
    EXPECT_EQ((Codes{u"UKEY_NO_KEY/50"}), UsbKeyCodes());
    Token("insert");
    EXPECT_EQ((Codes{u"UKEY_WQ2301/50", u"UKEY_WQ2372/100"}), UsbKeyCodes());
    // A token whose storage is gone is no token either (SoftHSM2's free slot is left).
    for (const auto& entry : std::filesystem::directory_iterator(m_dir / "tokens"))
        std::filesystem::remove_all(entry.path());
    EXPECT_EQ((Codes{u"UKEY_NO_KEY/50"}), UsbKeyCodes());
}

TEST_F(TokenJob, OverlappingRequestsTakeTurnsAtTheToken)
{
    // What the page did that crashed the program: four USB-key checks and two full checks
    // at once, round after round, each round starting before the last one ended.
    constexpr int kRounds = 50;
    std::u16string out;
    for (int round = 0; round < kRounds; ++round)
    {
        for (int cmd : {1, 1, 1, 1, 4, 4})
            ASSERT_TRUE(DispatchSysCall(cmd, u"QV", &m_dlg, out));
        for (int i = 0; i < 20; ++i)
        {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            Sleep(1);
        }
    }
    m_dlg.PumpUntilDone(6 * kRounds);
    int valid = 0, other = 0;
    for (const auto& p : m_dlg.m_results)
    {
        if (p.code == u"UKEY_WQ2372")
            ++valid;
        else if (p.code == u"UKEY_NO_KEY" || p.code == u"UKEY_WQ2377" || p.code == u"UKEY_WQ2376" ||
                 p.code == u"UKEY_WQ2374")
            ++other;
    }
    EXPECT_EQ(6 * kRounds, valid) << "every request read the one token";
    EXPECT_EQ(0, other);
}
