// The assistant's start-up with a dialog that reports it was shown (<marker>.shown, with a
// log line, and what the start-up bound in <marker>.security), notes each activation message
// it receives (<marker>.activated) and stays open until <marker>.stop appears.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "KivoApp.h"
#include "KivoSecurityAttributes.h"

namespace
{
std::string g_marker;

class CProbeDialog : public IKivoMainDialog
{
public:
    explicit CProbeDialog(CKivoApp& app) : m_app(app) {}
    INT_PTR DoModal() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.lpszClassName = u"KivoProbeDialog";
        RegisterClassExW(&wc);
        s_uActivateMsg = m_app.ActivationMessage();
        HWND hwnd = CreateWindowExW(0, wc.lpszClassName, u"probe", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
        m_app.WriteLogText(u"dialog of " + std::u16string(g_marker.begin(), g_marker.end()));
        std::ofstream(g_marker + ".security")
            << "filter " << m_app.ActivationMessageAllowed() << " attributes " << (KivoSecurityAttributes().Get() != nullptr)
            << " label " << KivoSecurityAttributes().HasLowLabel() << "\n";
        std::ofstream(g_marker + ".shown") << "shown";
        for (int i = 0; i < 120000 && !std::filesystem::exists(g_marker + ".stop"); ++i)
        {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        DestroyWindow(hwnd);
        return IDOK;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == s_uActivateMsg && msg != 0)
            std::ofstream(g_marker + ".activated", std::ios::app) << "activated\n";
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    static inline UINT s_uActivateMsg = 0;

    CKivoApp& m_app;
};
} // namespace

std::unique_ptr<IKivoMainDialog> CreateKivoMainDialog(CKivoApp& app) { return std::make_unique<CProbeDialog>(app); }

void ShowKivoStartupError(const std::u16string&) {}

// The probe has no checks: Windows 7 unless QM_PROBE_OS_CODE says otherwise.
int KivoOSVersionCode()
{
    const char* code = std::getenv("QM_PROBE_OS_CODE");
    return code ? std::atoi(code) : 12;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    g_marker = argv[1];
    CKivoApp& app = KivoApp();
    app.InitInstance(u"");
    return app.ExitInstance();
}
