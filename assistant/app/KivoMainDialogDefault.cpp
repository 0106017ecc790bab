// Used while no HTML-UI host is linked in (its definitions replace these): an empty
// top-level window that runs until it is closed and comes to the front on activation.
#include <cstdio>

#include "KivoApp.h"
#include "KivoJobHost.h"

namespace
{
class CPlainMainDialog : public IKivoMainDialog
{
public:
    explicit CPlainMainDialog(CKivoApp& app) : m_app(app) {}

    INT_PTR DoModal() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.lpszClassName = u"KivoPlainDialog";
        RegisterClassExW(&wc);
        s_uActivateMsg = m_app.ActivationMessage();
        HWND hwnd = CreateWindowExW(0, wc.lpszClassName, u"Pellix Assistant", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                    nullptr, nullptr, nullptr, nullptr);
        if (!hwnd)
            return -1;
        ShowWindow(hwnd, SW_SHOWNORMAL);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return IDCANCEL;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == s_uActivateMsg && msg != 0)
        {
            SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            ShowWindow(hwnd, SW_SHOWNORMAL);
            SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        else if (msg == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    CKivoApp& m_app;
    static inline UINT s_uActivateMsg = 0;
};
} // namespace

__attribute__((weak)) std::unique_ptr<IKivoMainDialog> CreateKivoMainDialog(CKivoApp& app)
{
    return std::make_unique<CPlainMainDialog>(app);
}

__attribute__((weak)) void ShowKivoStartupError(const std::u16string& strText)
{
    std::string text(strText.begin(), strText.end()); // the start-up texts are ASCII
    std::fprintf(stderr, "%s\n", text.c_str());
}
