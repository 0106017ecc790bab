// Message boxes when no window is presented (the default for tests): each is recorded with
// its caption, text and type and answered by the recorder; without one the platform reports
// it and takes its default button.
#include "PageHarness.h"

using HeadlessBoxes = BoxRecordingHarness;

TEST_F(HeadlessBoxes, AlertConfirmAndNoticesAreRecordedAndAnswered)
{
    Open({{u"TITLE_WS", u"10"}, {u"TITLE_IE", u"0"}});
    ASSERT_TRUE(WaitSummary());
    Pump([&] { return m_dlg->JobState().m_nBusy == 0; });

    EXPECT_EQ("undefined", Eval(u"mainframe", u"alert('一')"));
    m_answer = IDCANCEL;
    EXPECT_EQ("false", Eval(u"mainframe", u"confirm('二')"));
    m_answer = IDOK;
    EXPECT_EQ("true", Eval(u"mainframe", u"confirm('三')"));
    m_dlg->JobState().m_nBusy = 1;
    Eval(u"mainframe", u"location.href = 'help.htm'");
    Pump([&] { return m_boxes.size() == 4; }, 3000);
    m_dlg->JobState().m_nBusy = 0;
    KivoMessageBox(nullptr, u"Can not initialize.", u"QV_Assistant", KIVO_MB_ICONERROR);

    ASSERT_EQ(5u, m_boxes.size());
    struct Expected
    {
        const char16_t* caption;
        const char16_t* text;
        UINT type;
    } expected[] = {
        {u"My Title", u"一", MB_OK | MB_ICONEXCLAMATION},
        {u"My Title", u"二", MB_OKCANCEL | MB_ICONQUESTION},
        {u"My Title", u"三", MB_OKCANCEL | MB_ICONQUESTION},
        {u"Quillmark助手", u"正在执行检测，请等待操作完成！", MB_OK},
        {u"QV_Assistant", u"Can not initialize.", MB_ICONERROR},
    };
    for (size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(expected[i].caption, m_boxes[i].caption) << i;
        EXPECT_EQ(expected[i].text, m_boxes[i].text) << i;
        EXPECT_EQ(expected[i].type, m_boxes[i].type) << i;
    }
}

TEST_F(HeadlessBoxes, WithoutARecorderThePlatformAnswersWithTheDefault)
{
    Open({{u"TITLE_WS", u"10"}, {u"TITLE_IE", u"0"}});
    ASSERT_TRUE(WaitSummary());
    SetKivoMessageBox(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ("true", Eval(u"mainframe", u"confirm('继续吗？')"));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("[My Title] 继续吗？")) << err;
}
