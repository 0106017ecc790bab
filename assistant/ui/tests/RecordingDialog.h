// The program's main dialog over the real dispatcher, recording every result pair handed
// to the page, with the few things a driver of its pages needs.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "HtmlDialog.h"
#include "oleauto.h"
#include "qm/webbrowser.h"

class CRecordingDlg : public CKivoDlg
{
public:
    using CKivoDlg::CKivoDlg;
    using Pair = std::pair<std::u16string, std::u16string>;

    // Read on the dialog's thread only.
    const std::vector<Pair>& Pairs() const { return m_pairs; }
    size_t EndMarkers() const
    {
        size_t n = 0;
        for (const auto& p : m_pairs)
            n += p.second == u"0";
        return n;
    }

    // Runs the dialog's messages and the page engine until done() or the time is up.
    // A worker waits in SendMessage for each pair: the page engine is given 1 ms at a time.
    static bool Pump(const std::function<bool()>& done, int ms)
    {
        DWORD start = GetTickCount();
        for (;;)
        {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (done())
                return true;
            if (GetTickCount() - start >= DWORD(ms))
                return false;
            qm::web::PumpEvents(1);
        }
    }

    // A script expression's value as text, in the frame path ("" the top page).
    std::u16string Eval(const std::u16string& frame, const std::u16string& expr)
    {
        CJsCall js;
        IDispatch* doc = Browser().GetDocument();
        bool bound = js.SetDocument(doc);
        if (doc)
            doc->Release();
        VARIANT v;
        VariantInit(&v);
        std::u16string name = frame.empty() ? u"eval" : frame + u".eval";
        if (!bound || !js.CallJScript(name, {u"String(" + expr + u")"}, &v))
            return u"<failed>";
        std::u16string out = v.vt == VT_BSTR ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : u"";
        VariantClear(&v);
        return out;
    }

    // The tip over the full check's frame: its verdict and time once the summary is shown.
    std::u16string Tip() { return Eval(u"", u"document.getElementById('topInfo4').innerText"); }

protected:
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_KIVO_RESULT)
        {
            const auto& args = JobState().m_arrResultArgs;
            m_pairs.emplace_back(args.size() > 0 ? args[0] : u"", args.size() > 1 ? args[1] : u"");
        }
        return CKivoDlg::WindowProc(message, wParam, lParam);
    }

private:
    std::vector<Pair> m_pairs;
};
