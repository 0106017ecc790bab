// window.external and the browser site as the control sees them, without a page.
#include <gtest/gtest.h>

#include <cmath>

#include "FakeDispatcher.h"
#include "HtmlDialog.h"
#include "oleauto.h"
#include "qm/windowing.h"

namespace
{
// A job host with no window: enough for the dispatcher's bookkeeping.
class CHostOnly : public IKivoJobHost
{
public:
    HWND GetResultWindow() override { return nullptr; }
    bool BindDocument() override { return m_bBindable; }
    void ShowMessage(const std::u16string& strText) override { m_messages.push_back(strText); }
    CKivoJobState& JobState() override { return m_state; }
    IKivoChecks& Checks() override { std::abort(); }
    CKivoLog& Log() override { return m_log; }

    bool m_bBindable = true;
    std::vector<std::u16string> m_messages;
    CKivoJobState m_state;
    CKivoLog m_log;
};

struct Arg
{
    VARIANT v;
    explicit Arg(double d) { VariantInit(&v), v.vt = VT_R8, v.dblVal = d; }
    explicit Arg(int n) { VariantInit(&v), v.vt = VT_I4, v.lVal = n; }
    explicit Arg(const char16_t* s) { VariantInit(&v), v.vt = VT_BSTR, v.bstrVal = SysAllocString(s); }
    Arg() { VariantInit(&v); }
};

std::u16string Text(const VARIANT& v) { return v.vt == VT_BSTR ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : u"<none>"; }

class ScriptBridge : public ::testing::Test
{
protected:
    void TearDown() override { ResetFakeDispatcher(); }

    // KivoSysCall (args...) as page script calls it; args in page order.
    HRESULT Call(std::vector<Arg> args, VARIANT* result, WORD flags = DISPATCH_METHOD)
    {
        std::vector<VARIANT> rg;
        for (auto it = args.rbegin(); it != args.rend(); ++it)
            rg.push_back(it->v);
        DISPPARAMS params{rg.data(), nullptr, static_cast<UINT>(rg.size()), 0};
        HRESULT hr = m_external.Invoke(1, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
        for (auto& a : rg)
            VariantClear(&a);
        return hr;
    }

    CKivoImpIDispatch m_external;
    CHostOnly m_host;
};
} // namespace

TEST_F(ScriptBridge, OnlyKivoSysCallHasAnId)
{
    struct Case
    {
        std::vector<const char16_t*> names;
        HRESULT hr;
        std::vector<DISPID> ids;
    } cases[] = {
        {{u"KivoSysCall"}, S_OK, {1}},
        {{u"kivosyscall"}, DISP_E_UNKNOWNNAME, {-1}},
        {{u"Other", u"KivoSysCall"}, DISP_E_UNKNOWNNAME, {-1, 1}},
        {{}, S_OK, {}},
    };
    for (const Case& c : cases)
    {
        std::vector<LPOLESTR> names;
        for (const char16_t* n : c.names)
            names.push_back(const_cast<LPOLESTR>(n));
        std::vector<DISPID> ids(c.names.size(), 77);
        EXPECT_EQ(c.hr, m_external.GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0x800, ids.data()));
        EXPECT_EQ(c.ids, ids);
    }
}

TEST_F(ScriptBridge, IdentityAndLifetime)
{
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, m_external.QueryInterface(IID_IHTMLDocument2, &p));
    EXPECT_EQ(nullptr, p);
    ASSERT_EQ(S_OK, m_external.QueryInterface(IID_IDispatch, &p));
    EXPECT_EQ(static_cast<IDispatch*>(&m_external), p);
    EXPECT_EQ(1u, m_external.RefCount());
    EXPECT_EQ(0u, m_external.Release()); // never deletes: the object lives for the whole run
    UINT n = 5;
    EXPECT_EQ(E_NOTIMPL, m_external.GetTypeInfoCount(&n));
}

TEST_F(ScriptBridge, PropertyReadIsTrue)
{
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, Call({}, &result, DISPATCH_PROPERTYGET));
    EXPECT_EQ(VT_BOOL, result.vt);
    EXPECT_EQ(VARIANT_TRUE, result.boolVal);
    EXPECT_TRUE(FakeCalls().empty());
}

TEST_F(ScriptBridge, CallsReachTheDispatcher)
{
    m_external.SetMainWindow(&m_host);
    struct Case
    {
        std::vector<Arg> args;
        int cmd;
        std::u16string strArgs;
        std::u16string result;
    };
    std::vector<Case> cases;
    cases.push_back({{Arg(4), Arg(u"QV")}, 4, u"QV", u""});
    cases.push_back({{Arg(99), Arg(u"QV")}, 99, u"QV", u"PARM ERR"});
    cases.push_back({{Arg(10.9), Arg(u"QVKEY")}, 10, u"QVKEY", u""});   // doubles truncate
    cases.push_back({{Arg(-3.7), Arg(u"QV")}, -3, u"QV", u"PARM ERR"}); // toward zero
    cases.push_back({{Arg(2), Arg(7)}, 2, u"", u""});                   // Args not a string: empty
    cases.push_back({{Arg(1), Arg()}, 1, u"", u""});
    cases.push_back({{Arg(3)}, 3, u"", u""}); // one argument: nothing read past it
    // Numbers that are no int name no command, whatever a cast would have made of them.
    for (double d : {1e10, -1e10, 1e300, -2147483649.0, 4294967300.0, 2147483648.0, std::nan(""), HUGE_VAL, -HUGE_VAL})
        cases.push_back({{Arg(d), Arg(u"QV")}, -1, u"QV", u"PARM ERR"});
    cases.push_back({{Arg(2147483647.5), Arg(u"QV")}, 2147483647, u"QV", u"PARM ERR"});
    for (size_t i = 0; i < cases.size(); ++i)
    {
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(S_OK, Call(cases[i].args, &result));
        auto calls = FakeCalls();
        ASSERT_EQ(i + 1, calls.size());
        EXPECT_EQ(cases[i].cmd, calls.back().nCmdId) << i;
        EXPECT_EQ(cases[i].strArgs, calls.back().strArgs) << i;
        EXPECT_EQ(cases[i].result, Text(result)) << i;
        VariantClear(&result);
    }
}

TEST_F(ScriptBridge, RefusedDispatchLeavesTheResult)
{
    m_external.SetMainWindow(&m_host);
    m_host.m_bBindable = false;
    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4;
    result.lVal = 42;
    EXPECT_EQ(S_OK, Call({Arg(4), Arg(u"QV")}, &result));
    EXPECT_EQ(VT_I4, result.vt);
    EXPECT_EQ(42, result.lVal);
    EXPECT_EQ(std::vector<std::u16string>{u"js.SetDocument() failed."}, m_host.m_messages);
    EXPECT_EQ(0, m_host.m_state.m_nBusy.load());
}

TEST_F(ScriptBridge, OtherIdsDoNothing)
{
    m_external.SetMainWindow(&m_host);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(S_OK, m_external.Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    EXPECT_TRUE(FakeCalls().empty());
}

TEST(ControlSite, ChromeAndExternal)
{
    CKivoImpIDispatch external;
    std::vector<std::u16string> urls;
    CKivoCustomControlSite site(&external, [&](const std::u16string& url, VARIANT_BOOL*) { urls.push_back(url); });
    IDocHostUIHandler* ui = nullptr;
    ASSERT_EQ(S_OK, site.QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&ui)));
    DOCHOSTUIINFO info{sizeof info, 0, 7, nullptr, nullptr};
    EXPECT_EQ(S_OK, ui->GetHostInfo(&info));
    EXPECT_EQ(0x4000Cu, info.dwFlags);
    EXPECT_EQ(0u, info.dwDoubleClick);
    EXPECT_EQ(S_OK, ui->ShowContextMenu(0, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, ui->EnableModeless(TRUE));
    EXPECT_EQ(E_NOTIMPL, ui->TranslateUrl(0, nullptr, nullptr));
    MSG key{nullptr, WM_KEYDOWN, 'P', 0, 0, {0, 0}};
    EXPECT_EQ(S_FALSE, ui->TranslateAccelerator(&key, nullptr, 0)); // without Control the page gets it

    IDispatch* ext = nullptr;
    ASSERT_EQ(S_OK, ui->GetExternal(&ext));
    EXPECT_EQ(static_cast<IDispatch*>(&external), ext);
    EXPECT_EQ(1u, external.RefCount());
    ext->Release();
    ui->Release();
}

// The open, print and new-window shortcuts are swallowed while Control and the letter are
// held, whatever key the message is for; everything else goes on to the page.
TEST(ControlSite, ControlWithOPNIsSwallowed)
{
    CKivoImpIDispatch external;
    CKivoCustomControlSite site(&external, [](const std::u16string&, VARIANT_BOOL*) {});
    IDocHostUIHandler* ui = nullptr;
    ASSERT_EQ(S_OK, site.QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&ui)));
    struct Case
    {
        bool control;
        UINT held; // a letter held down, 0 for none
        UINT message;
        WPARAM key;
        HRESULT expected;
    } cases[] = {
        {true, 'O', WM_KEYDOWN, 'O', S_OK},     {true, 'P', WM_KEYDOWN, 'P', S_OK},
        {true, 'N', WM_KEYDOWN, 'N', S_OK},     {true, 'A', WM_KEYDOWN, 'A', S_FALSE},
        {false, 'P', WM_KEYDOWN, 'P', S_FALSE}, {true, 'P', WM_KEYUP, 'P', S_FALSE},
        {true, 'P', WM_CHAR, 'p', S_FALSE},     {true, 0, WM_KEYDOWN, 'P', S_FALSE}, // the letter already let go
        {true, 'N', WM_KEYDOWN, VK_CONTROL, S_OK},
    };
    for (const auto& tc : cases)
    {
        SCOPED_TRACE(testing::Message() << "control " << tc.control << " held " << char(tc.held ? tc.held : '-')
                                        << " message " << tc.message << " key " << tc.key);
        qm::win::HoldKey(VK_CONTROL, tc.control);
        if (tc.held)
            qm::win::HoldKey(tc.held, true);
        MSG msg{nullptr, tc.message, tc.key, 0, 0, {0, 0}};
        EXPECT_EQ(tc.expected, ui->TranslateAccelerator(&msg, nullptr, 0));
        if (tc.held)
            qm::win::HoldKey(tc.held, false);
        qm::win::HoldKey(VK_CONTROL, false);
    }
    ui->Release();
}

TEST(ControlSite, AlertsAreCaptionedMyTitle)
{
    std::vector<std::u16string> shown;
    SetKivoMessageBox([&](HWND, const std::u16string& text, const std::u16string& caption, UINT) {
        shown.push_back(caption + u"|" + text);
        return IDOK;
    });
    CKivoCustomControlSite site(nullptr, nullptr);
    IDocHostShowUI* show = nullptr;
    ASSERT_EQ(S_OK, site.QueryInterface(IID_IDocHostShowUI, reinterpret_cast<void**>(&show)));
    LRESULT result = 0;
    std::u16string text = u"你好";
    std::u16string caption = u"page caption";
    EXPECT_EQ(S_OK, show->ShowMessage(nullptr, text.data(), caption.data(), 0x30, nullptr, 0, &result));
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(std::vector<std::u16string>{u"My Title|你好"}, shown);
    show->Release();
    SetKivoMessageBox(nullptr);
}

TEST(ControlSite, BeforeNavigate2ReachesTheHandler)
{
    CKivoCustomControlSite site(nullptr, [](const std::u16string& url, VARIANT_BOOL* cancel) {
        if (url == u"res:///x/help.htm")
            *cancel = VARIANT_TRUE;
    });
    for (const char16_t* url : {u"res:///x/help.htm", u"res:///x/about.htm"})
    {
        VARIANT vUrl, empty;
        VariantInit(&vUrl);
        VariantInit(&empty);
        vUrl.vt = VT_BSTR;
        vUrl.bstrVal = SysAllocString(url);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT args[7];
        for (auto& a : args)
            a.vt = VT_BYREF | VT_VARIANT, a.pvarVal = &empty;
        args[0].vt = VT_BYREF | VT_BOOL;
        args[0].pboolVal = &cancel;
        args[5].pvarVal = &vUrl;
        DISPPARAMS params{args, nullptr, 7, 0};
        EXPECT_EQ(S_OK, site.EventSink()->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                                 nullptr, nullptr));
        EXPECT_EQ(std::u16string(url) == u"res:///x/help.htm" ? VARIANT_TRUE : VARIANT_FALSE, cancel) << (int)url[9];
        VariantClear(&vUrl);
    }
}
