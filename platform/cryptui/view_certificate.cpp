// CryptUIDlgViewCertificateW: a modal dialog with the certificate's subject, issuer, serial
// number and validity.
#include <cstdio>

#include "cryptuiapi.h"
#include "dialog_builder.h"

namespace
{
constexpr WORD kButton = 0x0080;
constexpr WORD kStatic = 0x0082;

std::u16string NameText(PCERT_NAME_BLOB name)
{
    DWORD n = CertNameToStrW(X509_ASN_ENCODING, name, CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG, nullptr, 0);
    if (n <= 1)
        return {};
    std::u16string text(n, u'\0');
    CertNameToStrW(X509_ASN_ENCODING, name, CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG, text.data(), n);
    text.resize(n - 1);
    return text;
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string SerialText(const CRYPT_INTEGER_BLOB& serial)
{
    std::string hex;
    char digits[4];
    for (DWORD i = serial.cbData; i > 0; --i)
    {
        std::snprintf(digits, sizeof digits, "%02x", serial.pbData[i - 1]);
        hex += digits;
    }
    return Ascii(hex);
}

std::u16string DateText(const FILETIME& ft)
{
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st))
        return u"?";
    char text[32];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u", st.wYear, st.wMonth, st.wDay);
    return Ascii(text);
}

INT_PTR CALLBACK ViewerProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
} // namespace

QMAPI BOOL WINAPI CryptUIDlgViewCertificateW(PCCRYPTUI_VIEWCERTIFICATE_STRUCTW pCertViewInfo, BOOL* pfPropertiesChanged)
{
    if (pfPropertiesChanged)
        *pfPropertiesChanged = FALSE;
    if (!pCertViewInfo ||
        pCertViewInfo->dwSize < offsetof(CRYPTUI_VIEWCERTIFICATE_STRUCTW, pCertContext) + sizeof(PCCERT_CONTEXT) ||
        !pCertViewInfo->pCertContext || !pCertViewInfo->pCertContext->pCertInfo)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PCERT_INFO info = pCertViewInfo->pCertContext->pCertInfo;
    std::u16string title = pCertViewInfo->szTitle ? pCertViewInfo->szTitle : u"Certificate";
    qm::cryptui::CDialogBuilder b(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 260, 178, title, 8,
                                  u"MS Shell Dlg");
    struct Field
    {
        const char16_t* label;
        std::u16string value;
        short height;
    } fields[] = {
        {u"Issued to:", NameText(&info->Subject), 36},
        {u"Issued by:", NameText(&info->Issuer), 36},
        {u"Serial number:", SerialText(info->SerialNumber), 12},
        {u"Valid from:", DateText(info->NotBefore) + u" to " + DateText(info->NotAfter), 12},
    };
    short y = 8;
    WORD id = 100;
    for (const Field& f : fields)
    {
        b.AddControl(kStatic, id++, SS_LEFT | SS_NOPREFIX, 8, y, 60, 10, f.label);
        b.AddControl(kStatic, id++, SS_LEFT | SS_NOPREFIX, 70, y, 182, f.height, f.value);
        y += f.height + 6;
    }
    b.AddControl(kStatic, static_cast<WORD>(IDC_STATIC), SS_ETCHEDHORZ, 8, 148, 244, 2, u"");
    b.AddControl(kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 202, 156, 50, 14, u"OK");
    HWND owner = pCertViewInfo->hwndParent && IsWindow(pCertViewInfo->hwndParent) ? pCertViewInfo->hwndParent : nullptr;
    INT_PTR r = DialogBoxIndirectParamW(nullptr, b.Template(), owner, ViewerProc, 0);
    return r != -1;
}
