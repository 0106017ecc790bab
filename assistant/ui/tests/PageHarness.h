// The main dialog over the scripted dispatcher, with the page's state read by script.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FakeDispatcher.h"
#include "HtmlDialog.h"
#include "oleauto.h"
#include "qm/utf.h"
#include "qm/webbrowser.h"

inline std::string Utf8(const std::u16string& s)
{
    return qm::utf::Utf16ToUtf8(s);
}

// Runs the dialog's messages and the page engine until done() or the time is up.
inline bool Pump(const std::function<bool()>& done, int ms = 20000)
{
    return qm::web::PumpUntil(
        [&] {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            return done();
        },
        ms);
}

class PageHarness : public ::testing::Test
{
protected:
    void TearDown() override
    {
        Pump([] { return false; }, 200); // the workers' last sends
        ResetFakeDispatcher();
        m_dlg.reset();
    }

    // Opens the dialog; the page starts the full check with these results at once.
    void Open(const ResultPairs& check)
    {
        SetScriptedResults(4, check);
        m_dlg = std::make_unique<CKivoDlg>(m_external, m_log, nullptr, 0);
        ASSERT_TRUE(m_dlg->Create());
        ASSERT_TRUE(m_dlg->Browser().GetControl()) << "no display for the page engine";
        ASSERT_TRUE(Pump([&] { return qm::web::IsLoaded(m_dlg->Browser().GetControl()); }));
    }

    // A script expression's value as text, evaluated in the frame path ("" the top page).
    std::string Eval(const std::u16string& frame, const std::u16string& expr)
    {
        CJsCall js;
        IDispatch* doc = m_dlg->Browser().GetDocument();
        bool bound = js.SetDocument(doc);
        if (doc)
            doc->Release();
        if (!bound)
            return "<no document>";
        VARIANT v;
        VariantInit(&v);
        std::u16string name = frame.empty() ? u"eval" : frame + u".eval";
        if (!js.CallJScript(name, {u"String(" + expr + u")"}, &v))
            return "<failed>";
        std::string out = v.vt == VT_BSTR ? Utf8(std::u16string(v.bstrVal, SysStringLen(v.bstrVal))) : "<not text>";
        VariantClear(&v);
        return out;
    }

    std::string Summary() { return Eval(u"mainframe", u"document.getElementById('summary').innerText"); }
    std::string Tip() { return Eval(u"", u"document.getElementById('topInfo4').innerText"); }
    bool WaitSummary() { return Pump([&] { return !Summary().empty() && Summary()[0] != '<'; }); }

    CKivoImpIDispatch m_external;
    CKivoLog m_log;
    std::unique_ptr<CKivoDlg> m_dlg;
};

// The pages with their message boxes recorded, not shown, and answered with m_answer.
class BoxRecordingHarness : public PageHarness
{
  protected:
    struct Box
    {
        std::u16string caption, text;
        UINT type;
    };

    void SetUp() override
    {
        SetKivoMessageBox(
            [this](HWND, const std::u16string& text, const std::u16string& caption, UINT type)
            {
                m_boxes.push_back({caption, text, type});
                return m_answer;
            });
    }
    void TearDown() override
    {
        PageHarness::TearDown();
        SetKivoMessageBox(nullptr);
    }

    std::vector<Box> m_boxes;
    int m_answer = IDOK;
};
