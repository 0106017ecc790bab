// window.external.KivoSysCall as any page script could call it: any DISPID, flags, argument
// count and VARIANT types reach the bridge's Invoke, whose CmdId and Args go to the real job
// dispatcher. The jobs run against checks with fixed answers on an empty machine (nothing is
// installed, so the repair finds nothing to run), and every job a call starts must end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "FakeChecks.h"
#include "KivoDispatcher.h"
#include "KivoImpIDispatch.h"
#include "WorkerCount.h"
#include "oleauto.h"
#include "qm/fuzz_harness.h"
#include "windows.h"

namespace
{
// The dialog: a window of the fuzzing thread that takes the result pairs.
class CHost : public IKivoJobHost
{
public:
    CHost()
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"KivoFuzzDialog";
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        m_workers.SetHostThread(std::this_thread::get_id());
    }
    HWND GetResultWindow() override { return m_hwnd; }
    bool BindDocument() override
    {
        m_bound = true;
        return true;
    }
    void ShowMessage(const std::u16string&) override {}
    CKivoJobState& JobState() override
    {
        m_workers.Note();
        return m_state;
    }
    IKivoChecks& Checks() override { return m_checks; }
    CKivoLog& Log() override { return m_log; }
    CKivoRepairWaits RepairWaits() override { return {0, 0}; }

    // Pumps the results until the worker of the call has come and gone.
    void Finish()
    {
        if (!m_bound)
            return;
        for (long i = 0; i < 2000000; ++i)
        {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            if (m_workers.Started() > 0 && m_workers.Running() == 0 && m_state.m_nBusy == 0)
            {
                m_bound = false;
                m_workers.ForgetStarted();
                return;
            }
            std::this_thread::yield();
        }
        __builtin_trap(); // a job that does not end
    }

private:
    HWND m_hwnd = nullptr;
    FakeChecks m_checks;
    CKivoLog m_log;
    CKivoJobState m_state;
    bool m_bound = false;
    CWorkerCount m_workers;
};

CHost* g_host = nullptr;
CKivoImpIDispatch* g_external = nullptr;

// inner is null for the variant a reference points at: references go one level deep.
void ReadVariant(qm::fuzz::Input& in, VARIANT& v, VARIANT* inner)
{
    VariantInit(&v);
    switch (in.Byte() % (inner ? 10 : 8))
    {
    case 0: break;
    case 1: v.vt = VT_NULL; break;
    case 2: v.vt = VT_I2; v.iVal = in.Value<SHORT>(); break;
    case 3: v.vt = VT_I4; v.lVal = in.Value<LONG>(); break;
    case 4: v.vt = VT_INT; v.lVal = in.Value<LONG>(); break;
    case 5: v.vt = VT_R8; v.dblVal = in.Value<double>(); break;
    case 6: v.vt = VT_BOOL; v.boolVal = (in.Byte() & 1) ? VARIANT_TRUE : VARIANT_FALSE; break;
    case 7:
    {
        std::u16string text = in.Text();
        v.vt = VT_BSTR;
        v.bstrVal = (in.Byte() & 1) ? nullptr : SysAllocStringLen(text.data(), UINT(text.size()));
        break;
    }
    case 8:
        // A reference to a variant, as script engines pass arguments by reference.
        ReadVariant(in, *inner, nullptr);
        v.vt = VT_BYREF | VT_VARIANT;
        v.pvarVal = (in.Byte() & 1) ? nullptr : inner;
        break;
    default: v.vt = VT_DISPATCH; v.pdispVal = nullptr; break;
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qm::fuzz::UseScratchMachine("qm-kivo-fuzz");
    g_host = new CHost;
    g_external = new CKivoImpIDispatch;
    g_external->SetMainWindow(g_host);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qm::fuzz::Input in(data, size);
    // Names first: only "KivoSysCall" has an id.
    std::u16string name = in.Text();
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    HRESULT hr = g_external->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    // The name ends at its first NUL, as an OLE string does.
    const bool bKnown = std::u16string(name.c_str()) == u"KivoSysCall";
    if ((hr == S_OK) != bKnown || (hr == S_OK && id != 1))
        __builtin_trap();

    uint8_t head = in.Byte();
    DISPID dispId = (head & 0x80) ? DISPID(in.Value<int32_t>()) : 1;
    WORD flags = WORD(head & 0x0F);
    UINT argc = in.Byte() % 4;
    std::vector<VARIANT> args(argc), inner(argc);
    for (UINT i = 0; i < argc; ++i)
    {
        VariantInit(&inner[i]);
        ReadVariant(in, args[i], &inner[i]);
    }
    DISPPARAMS params = {argc ? args.data() : nullptr, nullptr, argc, 0};
    VARIANT result;
    VariantInit(&result);
    const bool bNoParams = head & 0x40;
    g_external->Invoke(dispId, IID_NULL, 0, flags, bNoParams ? nullptr : &params, &result, nullptr, nullptr);
    g_host->Finish();
    VariantClear(&result);
    for (UINT i = 0; i < argc; ++i)
    {
        VariantClear(&inner[i]);
        if (args[i].vt != (VT_BYREF | VT_VARIANT))
            VariantClear(&args[i]);
    }
    return 0;
}
