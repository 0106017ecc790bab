// The modal dialog in which the user picks the signing certificate.
#pragma once

#include <gdiplus.h>

#include "CertificateDialogs.h"
#include "CertificateDisplayEntry.h"
#include "CertificateListCtrl.h"
#include "window/DialogImpl.h"

#define SELECT_CERTIFICATE_PROMPT_CCH 128

class CSelectCertificateDlg : public CDialogImpl<CSelectCertificateDlg, CWindow>
{
public:
    enum
    {
        IDD = 101
    };

    CSelectCertificateDlg();
    ~CSelectCertificateDlg() override;

    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                              DWORD dwMsgMapID = 0) override;

    // The chosen certificate; whoever takes it frees it.
    PCCERT_CONTEXT GetSelectedCertificate();
    HRESULT GetErrorCode();

private:
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnOK(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnCancel(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);

    HRESULT LoadCertificates(HCERTSTORE hCertStore);
    void AdjustWindowSize();

    Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;
    ULONG_PTR m_gdiplusToken = 0;
    HINSTANCE m_hResourceModule = nullptr;
    INT m_nVista = 0;
    WCHAR m_wszPrompt[SELECT_CERTIFICATE_PROMPT_CCH] = {};
    CertificateList m_vtrCertificates;
    CertificateDisplayEntries m_vtrEntries;
    CCertificateList m_lstCertificates;
    HRESULT m_hErrorCode = S_OK;
    PCCERT_CONTEXT m_pstCertificate = nullptr;
};

// The row of one certificate: key flag, subject common name, and the issuer, serial and
// validity lines formatted with the module's strings 205 to 207.
HRESULT BuildCertificateDisplayEntry(HINSTANCE hResourceModule, PCCERT_CONTEXT pCertContext,
                                     CertificateDisplayEntry& entry);

// Entries with a key on hardware first, then subject names without regard to case.
bool CompareCertificateEntries(const CertificateDisplayEntry& left, const CertificateDisplayEntry& right);
