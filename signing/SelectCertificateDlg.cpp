#include "SelectCertificateDlg.h"

#include <algorithm>

#include "HResult.h"
#include "FoundationLibrary.h"
#include "HResult.h"
#include "SigningForms.h"
#include "Trace.h"

#define SOURCE_UNIT u"SelectCertificateDlg"

namespace
{
#define IDC_CERTIFICATE_LIST 1001
#define IDS_SELECT_CERTIFICATE_PROMPT 203
#define IDS_ISSUER_LINE 205
#define IDS_SERIAL_LINE 206
#define IDS_VALIDITY_LINE 207

#define NAME_FIELD_CCH 128
#define DISPLAY_LINE_CCH 256
#define VISIBLE_ROWS_MARGIN 500

const WCHAR s_wszLoadCertificates[] = u"CSelectCertificateDlg::LoadCertificates";

// The value after the first "key" (such as "CN=") up to the next comma, at most
// NAME_FIELD_CCH - 1 characters; empty when the key is absent.
std::u16string NameField(LPCWSTR lpwszName, LPCWSTR lpwszKey)
{
    const WCHAR* pStart = lpwszName ? wcsstr(lpwszName, lpwszKey) : nullptr;
    if (!pStart)
    {
        return std::u16string();
    }
    pStart += wcslen(lpwszKey);
    size_t cch = wcscspn(pStart, u",");
    return std::u16string(pStart, std::min<size_t>(cch, NAME_FIELD_CCH - 1));
}

// A failed string load: the mapped last error, traced with its step.
HRESULT LoadFormat(HINSTANCE hModule, UINT nID, WCHAR (&wszFormat)[DISPLAY_LINE_CCH], LPCWSTR lpwszStep)
{
    if (LoadStringW(hModule, nID, wszFormat, DISPLAY_LINE_CCH) == 0)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, lpwszStep, u"nRetCode == 0", hResult);
        return hResult;
    }
    return S_OK;
}

INT KeyFlagOf(PCCERT_CONTEXT pCertContext)
{
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE hProv = 0;
    DWORD dwKeySpec = 0;
    BOOL fCallerFree = FALSE;
    if (!CryptAcquireCertificatePrivateKey(pCertContext, 0, nullptr, &hProv, &dwKeySpec, &fCallerFree))
    {
        return 0;
    }
    INT nKeyFlag = 0;
    DWORD dwImpType = 0;
    DWORD cbImpType = sizeof(dwImpType);
    if (CryptGetProvParam(hProv, PP_IMPTYPE, reinterpret_cast<BYTE*>(&dwImpType), &cbImpType, 0) &&
        (dwImpType & (CRYPT_IMPL_HARDWARE | CRYPT_IMPL_REMOVABLE)) != 0)
    {
        nKeyFlag = 1;
    }
    if (fCallerFree)
    {
        CryptReleaseContext(hProv, 0);
    }
    return nKeyFlag;
}
} // namespace

bool CompareCertificateEntries(const CertificateDisplayEntry& left, const CertificateDisplayEntry& right)
{
    if (left.nKeyFlag != right.nKeyFlag)
    {
        return left.nKeyFlag == 1;
    }
    return _wcsicmp(left.strSubjectCN.c_str(), right.strSubjectCN.c_str()) < 0;
}

CSelectCertificateDlg::CSelectCertificateDlg()
{
    GdiplusStartup(&m_gdiplusToken, &m_gdiplusStartupInput, nullptr);
}

CSelectCertificateDlg::~CSelectCertificateDlg()
{
    RemoveAllCertificates(m_vtrCertificates);
    m_vtrEntries.clear();
    if (m_gdiplusToken)
    {
        GdiplusShutdown(m_gdiplusToken);
    }
}

PCCERT_CONTEXT CSelectCertificateDlg::GetSelectedCertificate()
{
    TraceHelper trace(u"CSelectCertificateDlg::GetSelectedCertificate");
    return m_pstCertificate;
}

HRESULT CSelectCertificateDlg::GetErrorCode()
{
    TraceHelper trace(u"CSelectCertificateDlg::GetErrorCode");
    return m_hErrorCode;
}

BOOL CSelectCertificateDlg::ProcessWindowMessage(HWND /*hWnd*/, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                                 LRESULT& lResult, DWORD /*dwMsgMapID*/)
{
    BOOL bHandled = TRUE;
    switch (uMsg)
    {
    case WM_INITDIALOG:
        lResult = OnInitDialog(uMsg, wParam, lParam, bHandled);
        if (bHandled)
            return TRUE;
        break;
    case WM_DESTROY:
        lResult = OnDestroy(uMsg, wParam, lParam, bHandled);
        if (bHandled)
            return TRUE;
        break;
    case WM_PAINT:
        lResult = OnPaint(uMsg, wParam, lParam, bHandled);
        if (bHandled)
            return TRUE;
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
        {
            lResult = OnOK(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);
            if (bHandled)
                return TRUE;
        }
        else if (LOWORD(wParam) == IDCANCEL)
        {
            lResult = OnCancel(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);
            if (bHandled)
                return TRUE;
        }
        break;
    }
    bHandled = TRUE;
    lResult = ReflectNotifications(uMsg, wParam, lParam, bHandled);
    return bHandled;
}

LRESULT CSelectCertificateDlg::OnInitDialog(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM lParam, BOOL& /*bHandled*/)
{
    static const WCHAR s_wszName[] = u"CSelectCertificateDlg::OnInitDialog";
    TraceHelper trace(s_wszName);
    HRESULT hResult = S_OK;
    const auto* pInitRecord = reinterpret_cast<const SelectCertificateInitRecord*>(lParam);

    if (!m_lstCertificates.m_hWnd)
    {
        m_lstCertificates.SubclassWindow(GetDlgItem(IDC_CERTIFICATE_LIST));
    }

    do
    {
        if (pInitRecord == nullptr)
        {
            hResult = E_INVALIDARG;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check lParam passed to InitalDialog", u"lParam == NULL",
                              hResult);
            break;
        }
        if (pInitRecord->hResourceModule)
        {
            m_hResourceModule = pInitRecord->hResourceModule;
        }
        if (pInitRecord->lpwszTitle)
        {
            SetWindowText(pInitRecord->lpwszTitle);
        }
        if (pInitRecord->lpwszPrompt)
        {
            wcsncpy_s(m_wszPrompt, SELECT_CERTIFICATE_PROMPT_CCH, pInitRecord->lpwszPrompt, _TRUNCATE);
        }
        if (pInitRecord->lpwszOKText)
        {
            SetDlgItemText(IDOK, pInitRecord->lpwszOKText);
        }
        if (pInitRecord->lpwszCancelText)
        {
            SetDlgItemText(IDCANCEL, pInitRecord->lpwszCancelText);
        }

        if (m_wszPrompt[0] == 0 &&
            LoadStringW(m_hResourceModule, IDS_SELECT_CERTIFICATE_PROMPT, m_wszPrompt, SELECT_CERTIFICATE_PROMPT_CCH) ==
                0)
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"LoadString", u"nRetCode == 0", hResult);
            break;
        }

        OSVERSIONINFOW stVersion = {};
        stVersion.dwOSVersionInfoSize = sizeof(stVersion);
        GetVersionExW(&stVersion);
        m_nVista = stVersion.dwMajorVersion >= 6 ? 1 : 0;

        hResult = LoadCertificates(pInitRecord->hCertStore);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"LoadCertificates", u"FAILED(hResult)", hResult);
            break;
        }
        hResult = m_lstCertificates.Initialize(m_hResourceModule, m_nVista, m_vtrEntries);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CCertificateList::Initialize", u"FAILED(hResult)", hResult);
            break;
        }

        AdjustWindowSize();
        for (size_t i = 0; i < m_vtrEntries.size(); ++i)
        {
            m_lstCertificates.AddString(u"");
        }
        m_lstCertificates.SetCurSel(0);
        m_lstCertificates.SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        hResult = S_OK;
    } while (false);

    m_hErrorCode = hResult;
    if (FAILED(hResult))
    {
        // The default dialog processing turns WM_CLOSE into IDCANCEL, so OnCancel ends it.
        SendMessage(WM_CLOSE);
    }
    else
    {
        ShowWindow(SW_SHOW);
    }
    return TRUE;
}

HRESULT CSelectCertificateDlg::LoadCertificates(HCERTSTORE hCertStore)
{
    TraceHelper trace(s_wszLoadCertificates);
    RemoveAllCertificates(m_vtrCertificates);
    m_vtrEntries.clear();

    HRESULT hResult = ExtractCertificatesFromStore(hCertStore, m_vtrCertificates);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, u"ExtractCertificatesFromStore", u"FAILED(hResult)",
                          hResult);
    }
    for (size_t i = 0; SUCCEEDED(hResult) && i < m_vtrCertificates.size(); ++i)
    {
        CertificateDisplayEntry entry;
        hResult = BuildCertificateDisplayEntry(m_hResourceModule, m_vtrCertificates[i], entry);
        if (SUCCEEDED(hResult))
        {
            m_vtrEntries.push_back(std::move(entry));
        }
    }
    if (FAILED(hResult))
    {
        RemoveAllCertificates(m_vtrCertificates);
        m_vtrEntries.clear();
        return hResult;
    }
    if (m_vtrEntries.size() >= 2)
    {
        std::sort(m_vtrEntries.begin(), m_vtrEntries.end(), CompareCertificateEntries);
    }
    return S_OK;
}

HRESULT BuildCertificateDisplayEntry(HINSTANCE hResourceModule, PCCERT_CONTEXT pCertContext,
                                     CertificateDisplayEntry& entry)
{
    entry.pCertContext = pCertContext;
    entry.nKeyFlag = KeyFlagOf(pCertContext);

    WCHAR wszFormat[DISPLAY_LINE_CCH] = {};
    WCHAR wszLine[DISPLAY_LINE_CCH] = {};
    DWORD cbItem = 0;

    LPWSTR lpwszSubject = nullptr;
    HRESULT hResult = QueryCertContextInfo(&cbItem, &lpwszSubject, pCertContext, CERT_QUERY_SUBJECT);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, u"QueryCertContextInfo (Subject)", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    entry.strSubjectCN = NameField(lpwszSubject, u"CN=");
    delete[] lpwszSubject;

    LPWSTR lpwszIssuer = nullptr;
    hResult = QueryCertContextInfo(&cbItem, &lpwszIssuer, pCertContext, CERT_QUERY_ISSUER);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, u"QueryCertContextInfo (Issuer)", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    std::u16string strIssuerName = wcsstr(lpwszIssuer, u"O=") ? NameField(lpwszIssuer, u"O=")
                                                               : NameField(lpwszIssuer, u"CN=");
    delete[] lpwszIssuer;
    hResult = LoadFormat(hResourceModule, IDS_ISSUER_LINE, wszFormat, u"LoadString (Issuer)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    _snwprintf_s(wszLine, DISPLAY_LINE_CCH, _TRUNCATE, wszFormat, strIssuerName.c_str());
    entry.strIssuer = wszLine;

    BYTE* pbSerial = nullptr;
    hResult = QueryCertContextInfo(&cbItem, &pbSerial, pCertContext, CERT_QUERY_SERIAL_NUMBER);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, u"QueryCertContextInfo (Serial number",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    LPWSTR lpwszSerial = nullptr;
    hResult = ConvertBinaryDataToString(&lpwszSerial, cbItem, pbSerial, 1);
    delete[] pbSerial;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, u"FormatStringFromData (Serial number",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    std::u16string strSerial = lpwszSerial ? lpwszSerial : u"";
    delete[] lpwszSerial;
    hResult = LoadFormat(hResourceModule, IDS_SERIAL_LINE, wszFormat, u"LoadString (Serial number)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    _snwprintf_s(wszLine, DISPLAY_LINE_CCH, _TRUNCATE, wszFormat, strSerial.c_str());
    entry.strSerial = wszLine;

    SYSTEMTIME stFrom = {};
    SYSTEMTIME stTo = {};
    hResult = QueryCertContextInfo(&cbItem, &stFrom, pCertContext, CERT_QUERY_NOT_BEFORE);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, u"QueryCertContextInfo (From-date", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    hResult = QueryCertContextInfo(&cbItem, &stTo, pCertContext, CERT_QUERY_NOT_AFTER);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszLoadCertificates, u"QueryCertContextInfo (To-date", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    hResult = LoadFormat(hResourceModule, IDS_VALIDITY_LINE, wszFormat, u"LoadString (Valid date)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    _snwprintf_s(wszLine, DISPLAY_LINE_CCH, _TRUNCATE, wszFormat, stFrom.wYear, stFrom.wMonth, stFrom.wDay, stTo.wYear,
                 stTo.wMonth, stTo.wDay);
    entry.strValidity = wszLine;
    return S_OK;
}

void CSelectCertificateDlg::AdjustWindowSize()
{
    int nScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    int nRows = std::min(static_cast<int>(m_vtrEntries.size()),
                         (nScreenHeight - VISIBLE_ROWS_MARGIN) / CERTIFICATE_ROW_HEIGHT);
    // A screen lower than the margin leaves no room for rows, not a negative list.
    nRows = std::max(nRows, 0);
    int nListHeight = nRows * CERTIFICATE_ROW_HEIGHT + 2 * GetSystemMetrics(SM_CYDLGFRAME);

    RECT rcDialog = {};
    RECT rcList = {};
    RECT rcOK = {};
    RECT rcCancel = {};
    CWindow wndOK(GetDlgItem(IDOK));
    CWindow wndCancel(GetDlgItem(IDCANCEL));
    GetWindowRect(&rcDialog);
    m_lstCertificates.GetWindowRect(&rcList);
    wndOK.GetWindowRect(&rcOK);
    wndCancel.GetWindowRect(&rcCancel);
    ScreenToClient(&rcOK);
    ScreenToClient(&rcCancel);

    int nDelta = rcList.top + nListHeight - rcList.bottom;
    int nDialogHeight = (rcDialog.bottom - rcDialog.top) + nDelta;
    SetWindowPos(HWND_TOP, rcDialog.left, (nScreenHeight - nDialogHeight) / 2, rcDialog.right - rcDialog.left,
                 nDialogHeight, 0);
    m_lstCertificates.SetWindowPos(nullptr, 0, 0, rcList.right - rcList.left, nListHeight,
                                   SWP_NOMOVE | SWP_NOZORDER);
    wndOK.SetWindowPos(nullptr, rcOK.left, rcOK.top + nDelta, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    wndCancel.SetWindowPos(nullptr, rcCancel.left, rcCancel.top + nDelta, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

LRESULT CSelectCertificateDlg::OnPaint(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& /*bHandled*/)
{
    PAINTSTRUCT ps = {};
    HDC hDC = BeginPaint(m_hWnd, &ps);
    if (!hDC)
    {
        return 0;
    }
    RECT rcClient = {};
    GetClientRect(&rcClient);
    FillRect(hDC, &rcClient, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawTextWithFont(m_nVista ? u"Microsoft YaHei" : u"Arial", hDC, m_wszPrompt, 15, 12, rcClient.right - 20, 8,
                     m_nVista ? 22 : 16, RGB(0x00, 0x33, 0x99));
    EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CSelectCertificateDlg::OnOK(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    static const WCHAR s_wszName[] = u"CSelectCertificateDlg::OnOK";
    TraceHelper trace(s_wszName);
    if (m_pstCertificate)
    {
        CertFreeCertificateContext(m_pstCertificate);
        m_pstCertificate = nullptr;
    }
    int nIndex = m_lstCertificates.GetCurSel();
    if (nIndex < 0 || nIndex >= static_cast<int>(m_vtrEntries.size()))
    {
        // Nothing to take (an empty list): the selection ends without a certificate.
        m_hErrorCode = HResultFromWin32(ERROR_NOT_FOUND);
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check selected index", u"nIndex out of range", m_hErrorCode);
    }
    else
    {
        m_pstCertificate = CertDuplicateCertificateContext(m_vtrEntries[nIndex].pCertContext);
        m_hErrorCode = S_OK;
        if (m_pstCertificate == nullptr)
        {
            m_hErrorCode = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertDuplicateCertificateContext", u"m_pstCertificate == NULL",
                              m_hErrorCode);
        }
    }
    EndDialog(IDOK);
    return 0;
}

LRESULT CSelectCertificateDlg::OnCancel(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    TraceHelper trace(u"CSelectCertificateDlg::OnCancel");
    m_hErrorCode = SELECT_CERTIFICATE_CANCELLED;
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CSelectCertificateDlg::OnDestroy(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& /*bHandled*/)
{
    RemoveAllCertificates(m_vtrCertificates);
    m_vtrEntries.clear();
    return 0;
}
