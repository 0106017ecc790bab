// The assistant's pages in the real control (WebKitGTK under Xvfb): res: loading, the
// bridge both ways, the navigation veto, alerts, and what the pages show for given results.
#include <filesystem>
#include <memory>
#include <vector>

#include "PageHarness.h"

namespace
{
const ResultPairs kNoDriverCheck = {
    {u"TITLE_WS", u"10"},   {u"OS0", u"Windows 7"},      {u"ADMIN0", u"Administrator"}, {u"IE0", u"8.0"},
    {u"WEB0", u"40"},       {u"TITLE_IE", u"55"},        {u"SITE0", u"60"},             {u"IELEVEL2", u"60"},
    {u"TITLE_RC", u"65"},   {u"ROOTCERT0", u"90"},       {u"TITLE_CT", u"75"},          {u"CONTROL0", u"80"},
    {u"SIGN0", u"80"},      {u"PRT0", u"80"},            {u"TITLE_UK", u"95"},          {u"UKEY_NO_DRIVER", u"90"},
    {u"UKEY_WQ2324", u"100"}, {u"TITLE_IE", u"0"}};

class Pages : public BoxRecordingHarness
{
  protected:
    // A click where a person would click: the middle of the element as the page lays it out,
    // on whatever is on top there. The id of what was clicked.
    std::string ClickOn(const std::u16string& frame, const std::u16string& id)
    {
        return Eval(frame, u"(function(){var e=document.getElementById('" + id +
                               u"');var r=e.getBoundingClientRect();"
                               u"var t=document.elementFromPoint(r.left+r.width/2,r.top+r.height/2);"
                               u"if(!t)return '';"
                               u"['mousedown','mouseup'].forEach(function(n){t.dispatchEvent(new MouseEvent(n,"
                               u"{bubbles:true,cancelable:true,view:window,button:0}));});"
                               u"t.click();return t.id;})()");
    }
    std::string FramePage() { return Eval(u"mainframe", u"location.pathname.split('/').pop()"); }
};
} // namespace

TEST_F(Pages, FullCheckShowsFindingsAndAdvice)
{
    Open(kNoDriverCheck);
    ASSERT_TRUE(WaitSummary());
    auto calls = FakeCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(4, calls[0].nCmdId);
    EXPECT_EQ(u"QV", calls[0].strArgs);

    std::string summary = Summary();
    EXPECT_EQ(0u, summary.find("全面检测结果：")) << summary;
    EXPECT_NE(std::string::npos, summary.find("系统没有检测到USBKey驱动（建议您一键修复，安装USBKey驱动）"));
    EXPECT_NE(std::string::npos, summary.find("操作系统版本：Windows 7"));
    EXPECT_NE(std::string::npos, summary.find("USBKey检测结果："));
    EXPECT_NE(std::string::npos, summary.find("签名控件已安装"));
    std::string tip = Tip();
    EXPECT_EQ(0u, tip.find("为了使您的电脑达到使用Quillmark的最优环境配置，请查阅详细的检测结果，可以点击“一键修复”按钮进行修复！"))
        << tip;
    EXPECT_NE(std::string::npos, tip.find("检测时间("));
    EXPECT_EQ("", Eval(u"", u"document.getElementById('topBtn4').style.display"));
    EXPECT_EQ(0, m_dlg->JobState().m_nBusy.load());

    auto png = std::filesystem::path(QM_TEST_OUTPUT_DIR) / "assistant-pages-full-check.png";
    ASSERT_TRUE(qm::web::RenderToPng(m_dlg->Browser().GetControl(), png));
    EXPECT_GT(std::filesystem::file_size(png), 1000u);
}

TEST_F(Pages, ModalLoopRunsPagesAndJobs)
{
    SetScriptedResults(4, kNoDriverCheck);
    // Closed from the worker once the page had time for its summary.
    SetAfterJob([](IKivoJobHost* host) {
        Sleep(1500);
        PostMessageW(host->GetResultWindow(), WM_CLOSE, 0, 0);
    });
    m_dlg = std::make_unique<CKivoDlg>(m_external, m_log, nullptr, 0);
    EXPECT_EQ(IDCANCEL, m_dlg->DoModal());
    EXPECT_TRUE(m_dlg->IsEnded());
    EXPECT_NE(std::string::npos, Summary().find("USBKey检测结果："));
    EXPECT_NE(std::string::npos, Tip().find("检测时间("));
}

TEST_F(Pages, TipFollowsTheKindOfFinding)
{
    struct Case
    {
        const char16_t* code;
        const char16_t* progress;
        const char* tip;
        const char* listed;
    } cases[] = {
        {u"UKEY_NO_KEY", u"95", "恭喜您，您的电脑已达到使用Quillmark的最优环境配置，可以放心使用！", "全面检测结果：系统没有检测到USBKey"},
        {u"WEB1", u"40", "您的电脑已有Quillmark相关环境，但存在网络问题，还不能正常使用Quillmark，请检查！",
         "全面检测结果：网络状态异常（网络不通，不能进行Quillmark交易）"},
        {u"WEB0", u"40", "恭喜您，您的电脑已达到使用Quillmark的最优环境配置，可以放心使用！",
         "全面检测结果：尊敬的Quillmark用户，您的系统环境一切正常！"},
    };
    for (const Case& c : cases)
    {
        Open({{u"TITLE_WS", u"10"}, {c.code, c.progress}, {u"TITLE_IE", u"0"}});
        ASSERT_TRUE(WaitSummary()) << Utf8(c.code);
        std::string summary = Summary();
        std::string flat;
        for (char ch : summary)
            if (ch != '\n')
                flat += ch;
        EXPECT_EQ(0u, flat.find(c.listed)) << flat;
        EXPECT_EQ(0u, Tip().find(c.tip)) << Tip();
        Pump([] { return false; }, 100);
        ResetFakeDispatcher();
        m_dlg.reset();
    }
}

TEST_F(Pages, UnknownCodeShowsNothingAndOsSetsFifteen)
{
    Open({{u"TITLE_WS", u"10"}, {u"NO_SUCH_CODE", u"50"}, {u"OS0", u"Windows 10"}});
    ASSERT_TRUE(Pump([&] { return Eval(u"mainframe", u"document.getElementById('result').innerText").find("Windows 10") != std::string::npos; }));
    std::string rows = Eval(u"mainframe", u"document.getElementById('result').innerText");
    EXPECT_EQ(std::string::npos, rows.find("NO_SUCH_CODE"));
    EXPECT_NE(std::string::npos, rows.find("操作系统版本：Windows 10"));
    EXPECT_EQ("15%", Eval(u"", u"document.getElementById('load_percent4').innerText"));
    EXPECT_EQ("TITLE_WS,OS0", Eval(u"mainframe", u"errcodes.join(',')"));
}

TEST_F(Pages, RepairEndsWithItsVerdict)
{
    struct Case
    {
        ResultPairs pairs;
        const char* tip;
    } cases[] = {
        {{{u"TITLE_CS", u"1"}, {u"REPAIR0", u"100"}, {u"REPAIR0", u"0"}}, "修复操作失败，请重新执行修复！"},
        {{{u"TITLE_CS", u"1"}, {u"REPAIR2", u"100"}, {u"REPAIR2", u"0"}},
         "恭喜您，您的电脑已达到使用Quillmark的最优环境配置，可以放心使用！"},
    };
    for (const Case& c : cases)
    {
        Open({{u"TITLE_WS", u"10"}, {u"TITLE_IE", u"0"}});
        ASSERT_TRUE(WaitSummary());
        SetScriptedResults(10, c.pairs);
        EXPECT_EQ("undefined", Eval(u"mainframe", u"repairAll()"));
        ASSERT_TRUE(Pump([&] { return Tip().find("执行时间(") != std::string::npos; })) << Tip();
        EXPECT_EQ(0u, Tip().find(c.tip)) << Tip();
        auto calls = FakeCalls();
        ASSERT_EQ(2u, calls.size());
        EXPECT_EQ(10, calls[1].nCmdId);
        EXPECT_EQ(u"QV", calls[1].strArgs);
        EXPECT_NE(std::string::npos, Summary().find("修复结果："));
        Pump([] { return false; }, 100);
        ResetFakeDispatcher();
        m_dlg.reset();
    }
}

TEST_F(Pages, NavigationIsRefusedWhileBusy)
{
    Open({{u"TITLE_WS", u"10"}, {u"TITLE_IE", u"0"}});
    ASSERT_TRUE(WaitSummary());
    Pump([&] { return m_dlg->JobState().m_nBusy == 0; });
    m_boxes.clear();
    m_dlg->JobState().m_nBusy = 1;
    Eval(u"mainframe", u"location.href = 'help.htm'");
    Pump([&] { return !m_boxes.empty(); }, 3000);
    Pump([] { return false; }, 300);
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ(u"Quillmark助手", m_boxes[0].caption);
    EXPECT_EQ(u"正在执行检测，请等待操作完成！", m_boxes[0].text);
    EXPECT_NE(std::string::npos, Eval(u"mainframe", u"location.href").find("QV_detectAll.htm"));

    m_dlg->JobState().m_nBusy = 0;
    Eval(u"mainframe", u"location.href = 'help.htm'");
    EXPECT_TRUE(Pump([&] { return Eval(u"mainframe", u"location.href").find("help.htm") != std::string::npos; }));
    EXPECT_EQ(1u, m_boxes.size());
}

TEST_F(Pages, ScriptReachesTheHost)
{
    Open({{u"TITLE_WS", u"10"}, {u"TITLE_IE", u"0"}});
    ASSERT_TRUE(WaitSummary());
    m_boxes.clear();
    Eval(u"mainframe", u"alert('从页面来')");
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ(u"My Title", m_boxes[0].caption);
    EXPECT_EQ(u"从页面来", m_boxes[0].text);

    // Texts reach page functions unchanged, whatever they hold.
    CJsCall js;
    IDispatch* doc = m_dlg->Browser().GetDocument();
    ASSERT_TRUE(js.SetDocument(doc));
    doc->Release();
    const std::u16string tricky = u"a\"b'c\\d\n</script>\u2028e\u0001";
    VARIANT v;
    VariantInit(&v);
    ASSERT_TRUE(js.CallJScript(u"mainframe.String", {tricky}, &v));
    ASSERT_EQ(VT_BSTR, v.vt);
    EXPECT_EQ(tricky, std::u16string(v.bstrVal, SysStringLen(v.bstrVal)));
    VariantClear(&v);
    EXPECT_FALSE(js.CallJScript(u"nosuchframe.addResult", {u"OS0", u"1"}));
    EXPECT_FALSE(js.CallJScript(u"mainframe.noSuchFunction", {}));

    EXPECT_EQ("true,undefined", Eval(u"", u"(window.external.KivoSysCall != null) + ',' + typeof window.external.Other"));
    EXPECT_EQ("PARM ERR", Eval(u"", u"window.external.KivoSysCall(99, 'QV')"));
    EXPECT_EQ("", Eval(u"mainframe", u"Kivo_SysCall(21, 'QV')"));
    Eval(u"", u"Kivo_SysCall(1, 2, 3)");
    ASSERT_EQ(2u, m_boxes.size());
    EXPECT_EQ(u"参数不正确，您应该传递一到两个参数！", m_boxes[1].text);
    auto calls = FakeCalls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(99, calls[1].nCmdId);
    EXPECT_EQ(21, calls[2].nCmdId);
}

TEST_F(Pages, ResourcesServedByName)
{
    Open({{u"TITLE_WS", u"10"}, {u"TITLE_IE", u"0"}});
    ASSERT_TRUE(WaitSummary());
    auto get = [&](const char16_t* name) {
        return Eval(u"", u"(function(){try{var x=new XMLHttpRequest();x.open('GET','" + std::u16string(name) +
                             u"',false);x.send();return x.status+':'+x.responseText.length;}catch(e){return 'failed';}})()");
    };
    for (const char16_t* name : {u"qv_detectall.htm", u"QV_DETECTALL.HTM", u"tavelin.css", u"icon_ok.png", u"loading.gif"})
        EXPECT_EQ(0u, get(name).find("200:")) << Utf8(name) << " " << get(name);
    EXPECT_EQ("failed", get(u"missing.htm"));
    // GB2312 text decoded as such: the page's title.
    EXPECT_EQ("Quill机构", Eval(u"", u"document.title"));
    EXPECT_EQ("true", Eval(u"", u"document.images[0].complete && document.images[0].naturalWidth == 24"));
}

TEST_F(Pages, OutsideTheAssistantTheIndexOnlyWarns)
{
    CKivoCustomControlSite site(nullptr, nullptr); // no window.external
    HWND parent = CreateWindowExW(0, u"Static", u"", 0, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    CWebbrowser browser;
    RECT rc{0, 0, 600, 400};
    ASSERT_TRUE(browser.Create(parent, rc, 1001, &site, site.EventSink()));
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    browser.Navigate2(u"res://" + std::u16string(path, n) + u"/index.htm");
    ASSERT_TRUE(Pump([&] { return !m_boxes.empty(); }));
    EXPECT_EQ(u"请使用Quillmark助手打开此文件！", m_boxes[0].text);
    Pump([] { return false; }, 300);
    EXPECT_TRUE(FakeCalls().empty());
    browser.DestroyWindow();
    DestroyWindow(parent);
}

TEST_F(Pages, CheckAndRepairWorkAfterTheToolbarsPages)
{
    Open(kNoDriverCheck);
    ASSERT_TRUE(WaitSummary());
    ASSERT_TRUE(Pump([&] { return m_dlg->JobState().m_nBusy == 0; }));
    SetScriptedResults(10, {{u"TITLE_CS", u"1"}, {u"REPAIR2", u"100"}, {u"REPAIR2", u"0"}});
    size_t calls = FakeCalls().size();
    const struct
    {
        const char16_t* tool;
        const char* page;
    } tools[] = {{u"m1_2", "help.htm"}, {u"m1_3", "logon.htm"}, {u"m1_4", "about.htm"}};
    for (const auto& tool : tools)
    {
        SCOPED_TRACE(tool.page);
        for (const char16_t* button : {u"m2_1", u"m2_2"})
        {
            ASSERT_EQ(Utf8(tool.tool), ClickOn(u"", tool.tool));
            ASSERT_TRUE(Pump([&] { return FramePage() == tool.page; })) << FramePage();
            ASSERT_TRUE(Pump([&] { return qm::web::IsLoaded(m_dlg->Browser().GetControl()); }));

            // 立即检测 or 一键修复: the check page comes back and the job runs to its summary.
            ASSERT_EQ(Utf8(button), ClickOn(u"", button));
            ASSERT_TRUE(Pump([&] { return FakeCalls().size() == calls + 1; })) << Tip();
            ++calls;
            EXPECT_EQ(button == std::u16string(u"m2_1") ? 4 : 10, FakeCalls().back().nCmdId);
            EXPECT_EQ("QV_detectAll.htm", FramePage());
            const char* done = button == std::u16string(u"m2_1") ? "检测时间(" : "执行时间(";
            ASSERT_TRUE(Pump([&] { return Tip().find(done) != std::string::npos; })) << Tip();
            EXPECT_EQ("", Eval(u"", u"document.getElementById('topBtn4').style.display")) << "the buttons are back";
            EXPECT_EQ("false", Eval(u"", u"document.getElementById('m1_1').disabled")) << "the toolbar works";
            ASSERT_TRUE(Pump([&] { return m_dlg->JobState().m_nBusy == 0; }));
        }
    }
    EXPECT_TRUE(m_boxes.empty()) << Utf8(m_boxes.front().text);
    auto png = std::filesystem::path(QM_TEST_OUTPUT_DIR) / "assistant-pages-repair-after-about.png";
    ASSERT_TRUE(qm::web::RenderToPng(m_dlg->Browser().GetControl(), png));
}
