// The assistant's window as a person meets it, on a private X server with windows presented
// (QM_PRESENT=gtk): the page on screen inside the dialog, driven by real pointer and key
// input (XTest), message boxes as windows, and the bridge shut to pages from elsewhere.
#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "LoopbackServer.h"
#include "PresentedHarness.h"

namespace
{
const ResultPairs kCheck = {
    {u"TITLE_WS", u"10"},     {u"OS0", u"Windows 7 Professional"}, {u"ADMIN0", u"Administrator"},
    {u"IE0", u"8.0"},         {u"WEB0", u"40"},                    {u"TITLE_IE", u"55"},
    {u"SITE10", u"60"},       {u"IELEVEL0", u"60"},                {u"TITLE_RC", u"65"},
    {u"ROOTCERT1", u"90"},    {u"TITLE_CT", u"75"},                {u"CONTROL2", u"80"},
    {u"SIGN2", u"80"},        {u"PRT2", u"80"},                    {u"TITLE_UK", u"95"},
    {u"UKEY_NO_DRIVER", u"90"}, {u"UKEY_WQ2324", u"100"},          {u"TITLE_IE", u"0"}};

cairo_surface_t* LoadPng(const std::filesystem::path& file)
{
    cairo_surface_t* s = cairo_image_surface_create_from_png(file.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

// Share of the screen at the window's place that shows what the window system drew for it.
double ShownOnScreen(HWND hwnd, cairo_surface_t* screen, int height = 0)
{
    auto file = kOut / "window.png";
    if (!qm::win::RenderWindowToPng(hwnd, file))
        return 0;
    cairo_surface_t* drawn = LoadPng(file);
    if (!drawn)
        return 0;
    RECT r = WindowRect(hwnd);
    double share = MatchingShare(screen, r.left, r.top, drawn, 0, 0, r.right - r.left,
                                 height ? height : r.bottom - r.top);
    cairo_surface_destroy(drawn);
    return share;
}

using Presented = PresentedHarness;

TEST_F(Presented, FullCheckOnScreenAndRepairByPointer)
{
    SetScriptedResults(10, {{u"TITLE_CS", u"1"}, {u"REPAIR2", u"100"}, {u"REPAIR2", u"0"}});
    Open(kCheck);
    ASSERT_TRUE(WaitSummary());
    Settle();

    cairo_surface_t* screen = TestScreen().Capture();
    ASSERT_TRUE(screen);
    cairo_surface_write_to_png(screen, (kOut / "screen-full-check.png").c_str());
    // The page, as the engine draws it, is what the screen shows at the control's place.
    auto pageFile = kOut / "page.png";
    ASSERT_TRUE(qm::web::RenderToPng(m_dlg->Browser().GetControl(), pageFile));
    cairo_surface_t* page = LoadPng(pageFile);
    ASSERT_TRUE(page);
    RECT rc = WindowRect(Control());
    EXPECT_GT(MatchingShare(screen, rc.left, rc.top, page, 0, 0, rc.right - rc.left, rc.bottom - rc.top), 0.97);
    cairo_surface_destroy(page);
    // Around it, the dialog's caption drawn by the window system.
    EXPECT_GT(ShownOnScreen(m_dlg->GetSafeHwnd(), screen, GetSystemMetrics(SM_CYCAPTION)), 0.97);
    cairo_surface_destroy(screen);

    // A real click on 一键修复 where the screen shows it.
    EXPECT_EQ("一键修复", Eval(u"", u"document.getElementById('m2_2').innerText"));
    POINT fix = ElementOnScreen(u"", u"m2_2");
    TestScreen().Click(fix.x, fix.y);
    ASSERT_TRUE(Pump([&] { return Tip().find("执行时间(") != std::string::npos; })) << Tip();
    auto calls = FakeCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(10, calls[1].nCmdId);
    EXPECT_EQ(u"QV", calls[1].strArgs);
    EXPECT_EQ("TITLE_CS,REPAIR2", Eval(u"mainframe", u"errcodes.join(',')"));
    Settle();
    TestScreen().CaptureToPng(kOut / "screen-repair.png");
}

TEST_F(Presented, ResultsShowWhileTheWorkerRuns)
{
    // The worker sends the first half, then waits; the screen shows what came so far.
    const size_t half = kCheck.size() / 2;
    ResultPairs first(kCheck.begin(), kCheck.begin() + static_cast<long>(half));
    ResultPairs rest(kCheck.begin() + static_cast<long>(half), kCheck.end());
    std::atomic<bool> release{false};
    struct Release
    {
        std::atomic<bool>& flag;
        ~Release() { flag = true; } // the worker never outwaits a failed test
    } releaseAtEnd{release};
    SetAfterJob([&](IKivoJobHost* host) {
        while (!release)
            Sleep(20);
        for (const auto& [code, status] : rest)
        {
            {
                std::lock_guard lock(host->JobState().m_resultLock);
                host->JobState().m_arrResultArgs = {code, status};
                SendMessageW(host->GetResultWindow(), WM_KIVO_RESULT, 0, 0);
            }
        }
    });
    Open(first);
    ASSERT_TRUE(Pump([&] { return Eval(u"mainframe", u"errcodes.length") == std::to_string(half); }));
    Settle();
    EXPECT_NE(std::string::npos, Tip().find("已完成 " + Utf8(first.back().second) + "%")) << Tip();
    cairo_surface_t* screen = TestScreen().Capture();
    cairo_surface_write_to_png(screen, (kOut / "screen-running.png").c_str());
    auto pageFile = kOut / "page-running.png";
    ASSERT_TRUE(qm::web::RenderToPng(m_dlg->Browser().GetControl(), pageFile));
    cairo_surface_t* page = LoadPng(pageFile);
    RECT rc = WindowRect(Control());
    EXPECT_GT(MatchingShare(screen, rc.left, rc.top, page, 0, 0, rc.right - rc.left, rc.bottom - rc.top), 0.97);
    cairo_surface_destroy(page);
    cairo_surface_destroy(screen);
    release = true;
    ASSERT_TRUE(WaitSummary());
    EXPECT_NE(std::string::npos, Summary().find("USBKey检测结果："));
}

TEST_F(Presented, PointerWheelKeysAndFocusReachThePage)
{
    Open(kCheck);
    ASSERT_TRUE(WaitSummary());
    Settle();
    // The wheel scrolls the results.
    POINT results = ElementOnScreen(u"mainframe", u"summary");
    EXPECT_EQ("0", Eval(u"mainframe", u"window.scrollY"));
    for (int i = 0; i < 3; ++i)
        TestScreen().Click(results.x, results.y, 5);
    EXPECT_TRUE(Pump([&] { return Eval(u"mainframe", u"window.scrollY") != "0"; }, 3000));

    // A text field: a click gives it the focus, keys type into it.
    Eval(u"", u"(function(){var i=document.createElement('input');i.id='probe';"
              u"i.style.cssText='position:fixed;left:400px;top:20px;width:200px;z-index:9';"
              u"document.body.appendChild(i);window.keys=[];window.menus=0;"
              u"document.addEventListener('keydown',function(e){keys.push((e.ctrlKey?'^':'')+e.key)},true);"
              u"document.addEventListener('contextmenu',function(){menus++},true);})()");
    POINT probe = ElementOnScreen(u"", u"probe");
    TestScreen().Click(probe.x, probe.y);
    ASSERT_TRUE(Pump([&] { return Eval(u"", u"document.activeElement.id") == "probe"; }, 3000));
    TestScreen().Key("a");
    TestScreen().Key("b");
    ASSERT_TRUE(Pump([&] { return Eval(u"", u"document.getElementById('probe').value") == "ab"; }, 3000));

    // Ctrl+O, Ctrl+P and Ctrl+N never reach the page; other shortcuts do.
    for (const char* k : {"o", "p", "n"})
        TestScreen().Key(k, true);
    TestScreen().Key("a", true); // select all
    TestScreen().Key("x");       // replaces the selection
    ASSERT_TRUE(Pump([&] { return Eval(u"", u"document.getElementById('probe').value") == "x"; }, 3000))
        << Eval(u"", u"document.getElementById('probe').value");
    std::string keys = Eval(u"", u"keys.join(' ')");
    EXPECT_EQ(std::string::npos, keys.find("^o")) << keys;
    EXPECT_EQ(std::string::npos, keys.find("^p")) << keys;
    EXPECT_EQ(std::string::npos, keys.find("^n")) << keys;
    EXPECT_NE(std::string::npos, keys.find("^a")) << keys;

    // A right click reaches the page, but no menu opens.
    cairo_surface_t* before = TestScreen().Capture();
    POINT header{probe.x + 250, probe.y}; // the top page, beside the field
    TestScreen().Click(header.x, header.y, 3);
    ASSERT_TRUE(Pump([&] { return Eval(u"", u"menus") == "1"; }, 3000));
    Settle();
    bool menuShown = false;
    GList* tops = gtk_window_list_toplevels();
    for (GList* t = tops; t; t = t->next)
        if (gtk_widget_get_visible(GTK_WIDGET(t->data)) &&
            gtk_window_get_type_hint(GTK_WINDOW(t->data)) == GDK_WINDOW_TYPE_HINT_POPUP_MENU)
            menuShown = true;
    g_list_free(tops);
    EXPECT_FALSE(menuShown);
    cairo_surface_t* after = TestScreen().Capture();
    EXPECT_GT(MatchingShare(before, header.x, header.y, after, header.x, header.y, 300, 300), 0.99);
    cairo_surface_destroy(before);
    cairo_surface_destroy(after);
}

// Answers the next message box once it is on screen: keeps its caption, how much of the
// screen at its place shows it, a picture of the screen, then clicks the button `id`.
struct BoxSeen
{
    std::u16string caption;
    double shown = 0;
    bool answered = false;
};

void AnswerNextBox(int id, const std::string& picture, BoxSeen* seen)
{
    auto ticks = std::make_shared<int>(0);
    qm::win::SetIdleHook([=](HWND box) {
        qm::web::PumpEvents(20);
        if (++*ticks < 15)
            return true; // drawn and on screen
        WCHAR caption[128] = {};
        GetWindowTextW(box, caption, 128);
        seen->caption = caption;
        cairo_surface_t* screen = TestScreen().Capture();
        cairo_surface_write_to_png(screen, (kOut / picture).c_str());
        seen->shown = ShownOnScreen(box, screen);
        cairo_surface_destroy(screen);
        RECT b = WindowRect(GetDlgItem(box, id));
        TestScreen().Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
        seen->answered = true;
        return false;
    });
}

TEST_F(Presented, BoxesAreModalWindowsOnScreen)
{
    Open(kCheck);
    ASSERT_TRUE(WaitSummary());
    Pump([&] { return m_dlg->JobState().m_nBusy == 0; });
    Settle();

    struct Case
    {
        const char* picture;
        const char16_t* script; // run in the results frame
        int button;
        const char* answer;
    } cases[] = {
        {"screen-alert.png", u"alert('请插入USBKey')", IDOK, "undefined"},
        {"screen-confirm.png", u"confirm('要开始修复吗？')", IDCANCEL, "false"},
        {"screen-confirm-ok.png", u"confirm('要开始修复吗？')", IDOK, "true"},
    };
    for (const Case& c : cases)
    {
        BoxSeen seen;
        AnswerNextBox(c.button, c.picture, &seen);
        EXPECT_EQ(c.answer, Eval(u"mainframe", c.script)) << c.picture;
        EXPECT_TRUE(seen.answered) << c.picture;
        EXPECT_EQ(u"My Title", seen.caption) << c.picture;
        EXPECT_GT(seen.shown, 0.97) << c.picture;
    }

    // A result that arrives while the page waits in alert() is lost, and nothing hangs.
    {
        std::string during;
        SetKivoMessageBox([&](HWND, const std::u16string&, const std::u16string&, UINT) {
            during = Eval(u"mainframe", u"1");
            return IDOK;
        });
        Eval(u"mainframe", u"alert('x')");
        SetKivoMessageBox(nullptr);
        EXPECT_EQ("<failed>", during);
        EXPECT_EQ("2", Eval(u"mainframe", u"1+1"));
    }

    // The busy notice, while a job runs; the page stays.
    {
        BoxSeen seen;
        m_dlg->JobState().m_nBusy = 1;
        AnswerNextBox(IDOK, "screen-busy.png", &seen);
        Eval(u"mainframe", u"location.href = 'help.htm'");
        ASSERT_TRUE(Pump([&] { return seen.answered; }, 10000));
        Settle();
        EXPECT_EQ(u"Quillmark助手", seen.caption);
        EXPECT_GT(seen.shown, 0.97);
        EXPECT_NE(std::string::npos, Eval(u"mainframe", u"location.href").find("QV_detectAll.htm"));
        m_dlg->JobState().m_nBusy = 0;
    }

    // The start-up failure, before any window of the program exists.
    {
        BoxSeen seen;
        AnswerNextBox(IDOK, "screen-error.png", &seen);
        EXPECT_EQ(IDOK, KivoMessageBox(nullptr, u"Can not initialize.", u"QV_Assistant", KIVO_MB_ICONERROR));
        EXPECT_EQ(u"QV_Assistant", seen.caption);
        EXPECT_GT(seen.shown, 0.97);
    }
}

// Pages from elsewhere, top-level or framed, get no window.external and cannot talk to the
// bridge directly, by script request or by form.
const char kProbe[] = R"HTML(<!DOCTYPE html><html><body>
<iframe name="sink" style="display:none"></iframe>
<form id="f" method="post" action="res:///:qm-external" target="sink" enctype="text/plain">
<input name='{"op":"call","name":"KivoSysCall","args":[4,"QV"],"pad":"' value='"}'></form>
<script>
function report(k, v) { var x = new XMLHttpRequest(); x.open('GET', '/report?' + k + '=' + encodeURIComponent(v), false); x.send(); }
function post(body) {
  try { var x = new XMLHttpRequest(); x.open('POST', 'res:///:qm-external', false); x.send(body); return x.status + ':' + x.responseText; }
  catch (e) { return 'refused'; }
}
var ext; try { ext = typeof (window.external && window.external.KivoSysCall); } catch (e) { ext = 'throws'; }
report('external', ext);
report('post', post(JSON.stringify({ op: 'call', name: 'KivoSysCall', args: [4, 'QV'] })));
report('forged', post(JSON.stringify({ secret: '00000000', op: 'call', name: 'KivoSysCall', args: [10, 'QV'] })));
try { fetch('res:///:qm-external', { method: 'POST', mode: 'no-cors', body: JSON.stringify({ op: 'call', name: 'KivoSysCall', args: [3, 'QV'] }) }).catch(function () {}); } catch (e) {}
document.getElementById('f').submit();
setTimeout(function () { report('done', '1'); }, 500);
</script></body></html>)HTML";

TEST_F(Presented, PagesFromElsewhereCannotReachTheHost)
{
    LoopbackServer server(std::map<std::string, std::string>{{"/probe.htm", kProbe}});
    ASSERT_TRUE(server.Port());
    std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/probe.htm";
    struct Case
    {
        const char* name;
        bool framed;
    } cases[] = {{"top-level", false}, {"framed", true}};
    for (const Case& c : cases)
    {
        Open({{u"TITLE_WS", u"10"}, {u"TITLE_IE", u"0"}});
        ASSERT_TRUE(WaitSummary());
        Pump([&] { return m_dlg->JobState().m_nBusy == 0; });
        server.Clear();
        std::u16string wurl(url.begin(), url.end());
        if (c.framed)
            Eval(u"", u"(function(){var f=document.createElement('iframe');f.src='" + wurl +
                          u"';document.body.appendChild(f);})()");
        else
            m_dlg->Browser().Navigate2(wurl);
        ASSERT_TRUE(Pump([&] { return server.Reported("done") == "1"; }, 15000)) << c.name;
        Settle(500);
        EXPECT_EQ("undefined", server.Reported("external")) << c.name;
        EXPECT_EQ(std::string::npos, server.Reported("post").find("value")) << c.name << server.Reported("post");
        EXPECT_EQ(std::string::npos, server.Reported("forged").find("value")) << c.name;
        auto calls = FakeCalls();
        ASSERT_EQ(1u, calls.size()) << c.name << ": the page reached the host";
        EXPECT_EQ(4, calls[0].nCmdId);
        if (c.framed)
        {
            // The program's own page beside it still reaches the host.
            EXPECT_EQ("PARM ERR", Eval(u"", u"window.external.KivoSysCall(99, 'QV')"));
            EXPECT_EQ(2u, FakeCalls().size());
        }
        Pump([] { return false; }, 100);
        ResetFakeDispatcher();
        m_dlg.reset();
    }
}
} // namespace
