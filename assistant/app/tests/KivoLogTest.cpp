// The log file: its path, its lines in the code page, emptied by a full check.
#include "AssistantFixtures.h"
#include "KivoLog.h"

TEST(KivoLogPath, LastThreeCharactersBecomeLog)
{
    struct Case
    {
        std::u16string module, log;
    } cases[] = {
        {u"C:\\Kit\\QV_Assistant.exe", u"C:\\Kit\\QV_Assistant.log"},
        {u"C:\\Kit\\QV_Assistant.ex", u"C:\\Kit\\QV_Assistantlog"},
        {u"C:\\Kit\\QV_Assistant.exe1", u"C:\\Kit\\QV_Assistant.elog"},
        {u"/opt/kit/bin/QV_Assistant", u"/opt/kit/bin/QV_Assistant.log"},
        {u"/opt/kit.d/bin/QV_Assistant", u"/opt/kit.d/bin/QV_Assistant.log"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.log, BuildLogPath(c.module));
}

class KivoLogFile : public FreshAssistantMachine
{
protected:
    std::u16string Text(const std::string& bytes)
    {
        int n = MultiByteToWideChar(936, 0, bytes.data(), int(bytes.size()), nullptr, 0);
        std::u16string out(size_t(n), u'\0');
        MultiByteToWideChar(936, 0, bytes.data(), int(bytes.size()), out.data(), n);
        return out;
    }
};

TEST_F(KivoLogFile, LinesAreCodePageTextRecreatedAndEmptied)
{
    std::filesystem::create_directories(m_dir / "drive_c" / "Kit");
    WriteAll(m_dir / "drive_c/Kit/QV_Assistant.log", "old run\r\n");
    CKivoLog log;
    ASSERT_TRUE(log.Open(u"C:\\Kit\\QV_Assistant.log"));
    EXPECT_EQ("", ReadAll(m_dir / "drive_c/Kit/QV_Assistant.log")) << "recreated at start";
    log.WriteLogText(u"网络状态正常");
    log.WriteLogText(u"IE 8.0");
    std::string bytes = ReadAll(m_dir / "drive_c/Kit/QV_Assistant.log");
    EXPECT_EQ(u"----网络状态正常\r\n----IE 8.0\r\n", Text(bytes));
    EXPECT_EQ(std::string("----\xcd\xf8", 6), bytes.substr(0, 6)) << "GBK, the machine's code page";
    log.Empty();
    log.WriteLogText(u"x");
    EXPECT_EQ("----x\r\n", ReadAll(m_dir / "drive_c/Kit/QV_Assistant.log"));
}

TEST_F(KivoLogFile, UnopenableLogTurnsLoggingOff)
{
    CKivoLog log;
    EXPECT_FALSE(log.Open(u"C:\\no\\such\\folder\\QV_Assistant.log"));
    EXPECT_FALSE(log.IsLogOn());
    log.WriteLogText(u"ignored");
    log.Empty();
}

TEST_F(KivoLogFile, FullCheckLogsBetweenStartAndEndLines)
{
    std::filesystem::create_directories(m_dir / "drive_c");
    FakeDialog& dlg = NewFakeDialog();
    ASSERT_TRUE(dlg.m_log.Open(u"C:\\QV_Assistant.log"));
    dlg.m_log.WriteLogText(u"from an earlier job");
    dlg.m_checks.middleware = 0;
    std::u16string out;
    ASSERT_TRUE(DispatchSysCall(4, u"QV", &dlg, out));
    dlg.PumpUntilDone();
    std::u16string text = Text(ReadAll(m_dir / "drive_c/QV_Assistant.log"));
    std::vector<std::u16string> lines;
    for (size_t pos = 0; pos < text.size();)
    {
        size_t end = text.find(u"\r\n", pos);
        ASSERT_NE(std::u16string::npos, end) << "every line ends with CRLF";
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    ASSERT_EQ(11u, lines.size());
    // "----YYYY-MM-DD HH:MM:SS   全面检测开始"
    EXPECT_EQ(u"----", lines[0].substr(0, 4));
    EXPECT_EQ(4u + 19u, lines[0].find(u"   全面检测开始"));
    EXPECT_EQ(u'-', lines[0][8]);
    EXPECT_EQ(u':', lines[0][17]);
    std::vector<std::u16string> middle(lines.begin() + 1, lines.end() - 1);
    std::vector<std::u16string> expected = {
        u"----IE 8.0",
        u"----网络状态正常",
        u"----您已将Quill机构相关网址加入了可信任站点",
        u"----IE安全设置正确",
        u"----签名控件已安装",
        u"----Quill机构获取序列号控件已安装",
        u"----开始检测Quill机构下载证书控件",
        u"----Quill机构下载证书控件已安装",
        u"----系统没有检测到USBKEY驱动",
    };
    EXPECT_EQ(expected, middle);
    EXPECT_EQ(4u + 19u, lines[10].find(u"   全面检测结束"));
}
