#include "KivoDlg.h"

#include "AboutDlg.h"
#include "KivoMessageBox.h"
#include "qm/webbrowser.h"

#ifndef SW_HIDE
#define SW_HIDE 0
#endif

CKivoDlg::CKivoDlg(CKivoImpIDispatch& external, CKivoLog& log, IKivoChecks* pChecks, UINT uActivateMsg)
    : m_external(external), m_log(log), m_pChecks(pChecks), m_uActivateMsg(uActivateMsg)
{
}

CKivoDlg::~CKivoDlg()
{
    m_browser.DestroyWindow();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    m_external.SetMainWindow(nullptr);
}

HWND CKivoDlg::Create(HWND hWndParent)
{
    m_bEnded = false;
    HWND hWnd = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD), hWndParent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (hWnd)
        ShowWindow(hWnd, SW_SHOWNORMAL);
    return hWnd;
}

INT_PTR CKivoDlg::DoModal()
{
    if (!Create())
        return -1;
    // The page engine's events run between the dialog's messages.
    while (!m_bEnded)
    {
        MSG msg;
        while (!m_bEnded && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                // The program is ending: leave the loop and let the caller see the quit.
                EndDialog(IDCANCEL);
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!IsDialogMessageW(m_hWnd, &msg))
            {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (!m_bEnded)
            qm::web::PumpEvents(10);
    }
    return m_nResult;
}

void CKivoDlg::EndDialog(INT_PTR nResult)
{
    m_nResult = nResult;
    m_bEnded = true;
    if (m_hWnd)
        ShowWindow(m_hWnd, SW_HIDE);
}

INT_PTR CALLBACK CKivoDlg::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CKivoDlg* self = nullptr;
    if (message == WM_INITDIALOG)
    {
        self = reinterpret_cast<CKivoDlg*>(lParam);
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CKivoDlg*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    return self ? self->WindowProc(message, wParam, lParam) : FALSE;
}

INT_PTR CKivoDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_uActivateMsg && message == m_uActivateMsg)
    {
        // Another copy was started: come to the front.
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
        SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return FALSE;
    }
    switch (message)
    {
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return (wParam & 0xFFF0) == IDM_ABOUTBOX;
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_KIVO_RESULT:
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, OnJsResult(wParam, lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            EndDialog(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

void CKivoDlg::CenterWindow()
{
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    SetWindowPos(m_hWnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - cy) / 2,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CKivoDlg::OnSysCommand(UINT nID, LPARAM)
{
    // The default handling (close, the menu itself) follows when the message is not ours.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX)
        CAboutDlg(m_hWnd).DoModal();
}

BOOL CKivoDlg::OnPaint()
{
    if (!IsIconic(m_hWnd))
        return FALSE; // the dialog's own painting
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int x = (rc.right - rc.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rc.bottom - rc.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &ps);
    return TRUE;
}

BOOL CKivoDlg::OnInitDialog()
{
    CenterWindow();
    HINSTANCE hInstance = GetModuleHandleW(nullptr);
    WCHAR szAbout[128] = {};
    if (LoadStringW(hInstance, IDS_ABOUTBOX, szAbout, 128) > 0)
        if (HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE))
        {
            AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, szAbout);
        }
    m_hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetWindowTextW(m_hWnd, u"Pellix Assistant");
    m_state.m_nBusy = 0;
    m_external.SetMainWindow(this);

    m_pSite = std::make_unique<CKivoCustomControlSite>(
        &m_external, [this](const std::u16string& strUrl, VARIANT_BOOL* pCancel) { OnBeforeNavigate2(strUrl, pCancel); });
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    if (!m_browser.Create(m_hWnd, rc, IDC_BROWSER, m_pSite.get(), m_pSite->EventSink()))
        return TRUE; // no display for pages: the dialog stays empty

    WCHAR szPath[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::u16string url = u"res://" + std::u16string(szPath, n) + u"/index.htm";
    m_browser.Navigate2(url);
    return TRUE;
}

bool CKivoDlg::BindDocument()
{
    IDispatch* pDoc = m_browser.GetDocument();
    bool ok = m_jsCall.SetDocument(pDoc);
    if (pDoc)
        pDoc->Release();
    return ok;
}

void CKivoDlg::ShowMessage(const std::u16string& strText)
{
    KivoMessageBox(m_hWnd, strText, u"QV_Assistant", KIVO_MB_OK);
}

void CKivoDlg::OnBeforeNavigate2(const std::u16string&, VARIANT_BOOL* pCancel)
{
    if (m_state.m_nBusy)
    {
        KivoMessageBox(m_hWnd, u"正在执行检测，请等待操作完成！", u"Quillmark助手", KIVO_MB_OK);
        *pCancel = VARIANT_TRUE;
    }
}

LRESULT CKivoDlg::OnJsResult(WPARAM, LPARAM)
{
    // The worker waits in SendMessage while the page function runs; a name that does not
    // resolve loses the result silently.
    m_jsCall.CallJScript(m_state.m_strCallbackName, m_state.m_arrResultArgs);
    return 0;
}
