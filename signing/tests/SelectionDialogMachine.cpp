#include "SelectionDialogMachine.h"

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include <commctrl.h>
#include <qm/csp_registration.h>
#include <qm/machine.h>
#include <qm/windowing.h>

namespace dialog_test
{
namespace
{
const WCHAR kSoftwareProvider[] = u"Microsoft Enhanced Cryptographic Provider v1.0";
const WCHAR kHardwareProvider[] = u"Quillmark Dialog Test Token CSP";

std::u16string Wide(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

void MakeContainer(const WCHAR* lpwszProvider, const std::u16string& container)
{
    HCRYPTPROV hProv = 0;
    ASSERT_TRUE(CryptAcquireContextW(&hProv, container.c_str(), lpwszProvider, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        << std::hex << GetLastError();
    CryptReleaseContext(hProv, 0);
}
} // namespace

CSelectionDialogMachine::CSelectionDialogMachine()
{
    char tmpl[] = "/tmp/qm-dialog-XXXXXX";
    m_dir = mkdtemp(tmpl);
    qm::SetMachineDirectory(m_dir / "machine");
    qm::SetProcessElevated(true);
    EXPECT_EQ(ERROR_SUCCESS, qm::RegisterPlatformCryptProviders(QM_RSAENH_PATH));
    EXPECT_EQ(ERROR_SUCCESS, qm::RegisterCryptProvider(kHardwareProvider, QM_TOKEN_FIXTURE_CSP, PROV_RSA_FULL));
    qm::SetProcessElevated(false);
}

CSelectionDialogMachine::~CSelectionDialogMachine()
{
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void CSelectionDialogMachine::SetMajorVersion(DWORD dwMajor)
{
    qm::SetProcessElevated(true);
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
    RegSetValueExW(hKey, u"CurrentMajorVersionNumber", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwMajor),
                   sizeof(dwMajor));
    RegCloseKey(hKey);
    qm::SetProcessElevated(false);
}

PCCERT_CONTEXT CSelectionDialogMachine::AddCertificate(const std::string& subject, KeyKind key,
                                                       const std::string& serial)
{
    int n = ++m_nCount;
    qm::test::CertSpec spec;
    spec.subject = subject;
    spec.serial = serial.empty() ? "0x" + std::to_string(1000 + n) : serial;
    qm::test::Der der = m_factory.Make(spec, "cert" + std::to_string(n));

    HCERTSTORE hStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    EXPECT_NE(hStore, nullptr);
    PCCERT_CONTEXT pCert = nullptr;
    EXPECT_TRUE(CertAddEncodedCertificateToStore(hStore, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &pCert))
        << std::hex << GetLastError();
    if (pCert && key != KeyKind::None)
    {
        std::u16string container = u"dialog-key-" + Wide(std::to_string(n));
        const WCHAR* lpwszProvider = key == KeyKind::Hardware ? kHardwareProvider : kSoftwareProvider;
        MakeContainer(lpwszProvider, container);
        CRYPT_KEY_PROV_INFO info = {};
        info.pwszContainerName = const_cast<LPWSTR>(container.c_str());
        info.pwszProvName = const_cast<LPWSTR>(lpwszProvider);
        info.dwProvType = PROV_RSA_FULL;
        info.dwKeySpec = AT_SIGNATURE;
        EXPECT_TRUE(CertSetCertificateContextProperty(pCert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info));
    }
    CertCloseStore(hStore, 0);
    return pCert;
}

// ---- Driving the dialog ---------------------------------------------------------------

void CDialogScript::Install()
{
    qm::win::SetIdleHook([this](HWND hDlg) { return OnIdle(hDlg); });
}

CDialogScript::~CDialogScript()
{
    qm::win::SetIdleHook(nullptr);
}

bool CDialogScript::OnIdle(HWND hDlg)
{
    if (!m_hDialog)
    {
        m_hDialog = hDlg;
    }
    if (hDlg != m_hDialog)
    {
        // The certificate viewer: note it and close it with its OK button.
        if (hDlg != m_hViewer)
        {
            m_hViewer = hDlg;
            ++m_nViewers;
            WCHAR wszCaption[128] = {};
            GetWindowTextW(hDlg, wszCaption, 128);
            m_strViewerCaption = wszCaption;
        }
        SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
    }
    if (m_nNext < m_steps.size())
    {
        m_steps[m_nNext++](hDlg);
        return true;
    }
    // Out of steps: a test that forgot to end the dialog must not hang.
    if (++m_nLeftover == 1)
    {
        qm::win::InjectKey(VK_ESCAPE);
    }
    else if (m_nLeftover > 20)
    {
        EndDialog(hDlg, IDCANCEL);
    }
    return true;
}

SelectCertificateParams AgentParams(DWORD dwForceDialog, HWND hwndParent)
{
    SelectCertificateParams params = {};
    params.dwVersion = 0;
    params.hResourceModule = GetModuleHandleW(nullptr);
    params.dwForceDialog = dwForceDialog;
    params.dwUseParent = 1;
    params.hwndParent = hwndParent;
    return params;
}

POINT ListPoint(HWND hDlg, int x, int y)
{
    POINT pt = {x, y};
    ClientToScreen(GetDlgItem(hDlg, 1001), &pt);
    return pt;
}

POINT RowCentre(HWND hDlg, int nRow)
{
    return ListPoint(hDlg, ListWidth(hDlg) / 2, nRow * 80 + 40);
}

COLORREF ListPixel(HWND hDlg, int x, int y)
{
    POINT pt = ListPoint(hDlg, x, y);
    RECT rc = {};
    GetWindowRect(hDlg, &rc);
    return qm::win::WindowPixel(hDlg, pt.x - rc.left, pt.y - rc.top);
}

int ListWidth(HWND hDlg)
{
    RECT rc = {};
    GetClientRect(GetDlgItem(hDlg, 1001), &rc);
    return rc.right;
}

HWND ToolTipOf(HWND hDlg)
{
    for (HWND h = GetWindow(hDlg, GW_HWNDFIRST); h; h = GetWindow(h, GW_HWNDNEXT))
    {
        WCHAR wszClass[64] = {};
        GetClassNameW(h, wszClass, 64);
        if (std::u16string(wszClass) == TOOLTIPS_CLASSW && GetWindow(h, GW_OWNER) == hDlg)
        {
            return h;
        }
    }
    return nullptr;
}

std::u16string ToolTipText(HWND hDlg)
{
    WCHAR wszText[256] = {};
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = hDlg;
    ti.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(hDlg, 1001));
    ti.lpszText = wszText;
    SendMessageW(ToolTipOf(hDlg), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    return wszText;
}

bool Near(COLORREF a, COLORREF b, int nTolerance)
{
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= nTolerance &&
           std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= nTolerance &&
           std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= nTolerance;
}

std::string ColourText(COLORREF c)
{
    char sz[32];
    snprintf(sz, sizeof sz, "rgb(%02X,%02X,%02X)", GetRValue(c), GetGValue(c), GetBValue(c));
    return sz;
}

std::filesystem::path OutputPng(const std::string& name)
{
    auto dir = std::filesystem::path(QM_TEST_OUTPUT_DIR);
    std::filesystem::create_directories(dir);
    return dir / (name + ".png");
}
} // namespace dialog_test
