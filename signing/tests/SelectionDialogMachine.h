// A machine for the selection dialog tests: its own registry and stores in a temporary
// folder, a software provider and a hardware-token provider, and certificates made with
// OpenSSL in the user's "MY" store with keys in either provider.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "CertificateDialogs.h"
#include "cert_factory.h"

namespace dialog_test
{
enum class KeyKind
{
    None,     // no private key
    Software, // a container of the platform's software provider
    Hardware, // a container of a provider that reports a hardware key
};

class CSelectionDialogMachine
{
public:
    CSelectionDialogMachine();
    ~CSelectionDialogMachine();

    // A certificate of "MY" (the caller frees it); subject in openssl -subj form.
    PCCERT_CONTEXT AddCertificate(const std::string& subject, KeyKind key, const std::string& serial = "");
    // The major version the machine reports (the default machine is 6.1).
    void SetMajorVersion(DWORD dwMajor);

    qm::test::CertFactory& Factory() { return m_factory; }

private:
    std::filesystem::path m_dir;
    qm::test::CertFactory m_factory;
    int m_nCount = 0;
};

// The candidates' references, released with the object.
struct CCandidates
{
    CertificateList list;
    ~CCandidates() { RemoveAllCertificates(list); }
};

// Runs steps on the selection dialog's idle loop: each idle turn of the dialog runs the next
// step, after the input of the previous one has been handled. A viewer opened on the way is
// recorded and closed. When the steps run out the dialog is escaped, then ended.
class CDialogScript
{
public:
    using Step = std::function<void(HWND hDlg)>;

    CDialogScript& Then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }
    // Installs the idle hook; it is removed with the object.
    void Install();
    ~CDialogScript();

    HWND Dialog() const { return m_hDialog; }
    int ViewersOpened() const { return m_nViewers; }
    std::u16string ViewerCaption() const { return m_strViewerCaption; }
    bool Ran() const { return m_hDialog != nullptr; }
    size_t StepsRun() const { return m_nNext; }

private:
    bool OnIdle(HWND hDlg);

    std::vector<Step> m_steps;
    size_t m_nNext = 0;
    int m_nLeftover = 0;
    HWND m_hDialog = nullptr;
    HWND m_hViewer = nullptr;
    int m_nViewers = 0;
    std::u16string m_strViewerCaption;
};

// Options as the signing agent passes them, with the test executable's resources.
SelectCertificateParams AgentParams(DWORD dwForceDialog = 0, HWND hwndParent = nullptr);

// Screen point of the list's client point; the centre of row i.
POINT ListPoint(HWND hDlg, int x, int y);
POINT RowCentre(HWND hDlg, int nRow);
// Colour of a list client pixel as the screen shows it.
COLORREF ListPixel(HWND hDlg, int x, int y);
int ListWidth(HWND hDlg);
// The tooltip of the dialog's list and its current text.
HWND ToolTipOf(HWND hDlg);
std::u16string ToolTipText(HWND hDlg);

bool Near(COLORREF a, COLORREF b, int nTolerance = 8);
std::string ColourText(COLORREF c);

// Where the test writes its pictures.
std::filesystem::path OutputPng(const std::string& name);
} // namespace dialog_test
