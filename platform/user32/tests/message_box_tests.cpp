// MessageBox: the buttons and default of each type, the answer by button, Escape and the
// close box, and the headless answer when nobody can see the box.
#include <filesystem>

#include "window_test_support.h"

namespace
{
class MessageBoxTest : public WindowTest
{
protected:
    // Shows the box; once it is up, `act` gets it (and may click or press), then the box's
    // picture and its button ids in order are kept.
    int Show(UINT type, const std::function<void(HWND)>& act)
    {
        m_buttons.clear();
        qm::win::SetIdleHook([&](HWND box) {
            WCHAR caption[64] = {};
            GetWindowTextW(box, caption, 64);
            m_caption = caption;
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                if (GetDlgCtrlID(c) != 0xFFFF)
                    m_buttons.push_back(GetDlgCtrlID(c));
            std::filesystem::path dir(QM_TEST_OUTPUT_DIR);
            std::filesystem::create_directories(dir);
            qm::win::RenderWindowToPng(box, dir / ("message-box-" + std::to_string(type) + ".png"));
            act(box);
            return false;
        });
        return MessageBoxW(nullptr, u"要继续吗？", u"My Title", type);
    }
    std::u16string m_caption;
    std::vector<int> m_buttons;
};

void ClickButton(HWND box, int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(box, id), &r);
    qm::win::InjectClick((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
} // namespace

TEST_F(MessageBoxTest, ButtonsOfEachTypeAnswerWithTheirIds)
{
    struct Case
    {
        UINT type;
        std::vector<int> buttons;
        int click;
    } cases[] = {
        {MB_OK | MB_ICONEXCLAMATION, {IDOK}, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, {IDOK, IDCANCEL}, IDCANCEL},
        {MB_YESNO, {IDYES, IDNO}, IDNO},
        {MB_YESNOCANCEL | MB_ICONERROR, {IDYES, IDNO, IDCANCEL}, IDYES},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, IDRETRY},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}, IDIGNORE},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(c.click, Show(c.type, [&](HWND box) { ClickButton(box, c.click); })) << c.type;
        EXPECT_EQ(c.buttons, m_buttons) << c.type;
        EXPECT_EQ(u"My Title", m_caption);
    }
}

TEST_F(MessageBoxTest, KeysAndCloseBox)
{
    struct Case
    {
        UINT type;
        UINT vk; // 0: the close box
        int result;
    } cases[] = {
        {MB_OKCANCEL | MB_DEFBUTTON2, VK_RETURN, IDCANCEL}, // Enter presses the default button
        {MB_YESNO, VK_RETURN, IDYES},
        {MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
        {MB_OK, VK_ESCAPE, IDOK}, // a lone OK answers Escape too
        {MB_YESNOCANCEL, 0, IDCANCEL},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, Show(c.type, [&](HWND box) {
            if (c.vk)
                qm::win::InjectKey(c.vk);
            else
                qm::win::InjectCloseBox(box);
        })) << c.type << " " << c.vk;
}

TEST_F(MessageBoxTest, OwnerIsDisabledWhileTheBoxRuns)
{
    HWND owner = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                                 nullptr);
    BOOL enabledDuring = TRUE;
    qm::win::SetIdleHook([&](HWND box) {
        enabledDuring = IsWindowEnabled(owner);
        ClickButton(box, IDOK);
        return false;
    });
    EXPECT_EQ(IDOK, MessageBoxA(owner, "text", "caption", MB_OK));
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST_F(MessageBoxTest, HeadlessWithoutAnyoneToAnswerTakesTheDefaultButton)
{
    // No idle hook and no display: the box is reported and answered, never waited on.
    testing::internal::CaptureStderr();
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"Can not initialize.", u"QV_Assistant", MB_ICONERROR));
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, u"确认", u"My Title", MB_OKCANCEL | MB_DEFBUTTON2));
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"确认", u"My Title", MB_OKCANCEL));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("[QV_Assistant] Can not initialize.")) << err;
    EXPECT_NE(std::string::npos, err.find("[My Title] 确认")) << err;
}
