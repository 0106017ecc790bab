// The assistant's main dialog: one WebBrowser control over the whole client area showing
// the program's pages (res:), the script bridge's window.external, and the results of the
// running job passed to the page function the dispatcher chose.
#pragma once

#include <memory>
#include <string>

#include "JsCall.h"
#include "KivoCustomControlSite.h"
#include "KivoImpIDispatch.h"
#include "KivoJobHost.h"
#include "KivoMainDialog.h"
#include "Webbrowser.h"

class CKivoDlg : public IKivoMainDialog, public IKivoJobHost
{
public:
    enum
    {
        IDD = 102,
        IDC_BROWSER = 1001,
        IDR_MAINFRAME = 128, // the program icon
        IDS_ABOUTBOX = 101,
        IDM_ABOUTBOX = 0x0010, // system-menu command
    };

    // pExternal: the application's window.external object; uActivateMsg: the registered
    // message that brings the dialog to the front (0: none).
    CKivoDlg(CKivoImpIDispatch& external, CKivoLog& log, IKivoChecks* pChecks, UINT uActivateMsg);
    ~CKivoDlg() override;

    // Runs the dialog until it is closed (IDOK, IDCANCEL or EndDialog).
    INT_PTR DoModal() override;
    // The dialog without its loop, for a caller that runs one; null on failure.
    HWND Create(HWND hWndParent = nullptr);
    void EndDialog(INT_PTR nResult);
    bool IsEnded() const { return m_bEnded; }

    // IKivoJobHost
    HWND GetResultWindow() override { return m_hWnd; }
    bool BindDocument() override;
    void ShowMessage(const std::u16string& strText) override;
    CKivoJobState& JobState() override { return m_state; }
    IKivoChecks& Checks() override { return *m_pChecks; }
    CKivoLog& Log() override { return m_log; }

    HWND GetSafeHwnd() const { return m_hWnd; }
    CWebbrowser& Browser() { return m_browser; }

protected:
    virtual BOOL OnInitDialog();
    // Every message of the dialog; TRUE when handled.
    virtual INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void OnSysCommand(UINT nID, LPARAM lParam);
    BOOL OnPaint();
    HICON OnQueryDragIcon() { return m_hIcon; }
    void OnBeforeNavigate2(const std::u16string& strUrl, VARIANT_BOOL* pCancel);
    LRESULT OnJsResult(WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void CenterWindow();

    // Declared first so that it outlives the control and every document bound to it.
    std::unique_ptr<CKivoCustomControlSite> m_pSite;
    HWND m_hWnd = nullptr;
    CKivoJobState m_state;
    HICON m_hIcon = nullptr;
    CJsCall m_jsCall;
    CKivoImpIDispatch& m_external;
    CKivoLog& m_log;
    IKivoChecks* m_pChecks;
    UINT m_uActivateMsg;
    CWebbrowser m_browser;
    bool m_bEnded = false;
    INT_PTR m_nResult = IDCANCEL;
};
