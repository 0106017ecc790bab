// The application object: single instance, command-line switches, the log, the dialog.
#pragma once

#include <string>

#include "KivoLog.h"
#include "KivoMainDialog.h"
#include "windows.h"

class CKivoApp
{
public:
    CKivoApp() = default;
    ~CKivoApp();
    CKivoApp(const CKivoApp&) = delete;
    CKivoApp& operator=(const CKivoApp&) = delete;

    // FALSE ends the program (refused, registration done, or the dialog has closed); TRUE
    // keeps it running as a COM server.
    BOOL InitInstance(const std::u16string& strCommandLine);
    // The message loop of a COM server (after InitInstance returned TRUE): until WM_QUIT.
    int Run();
    int ExitInstance();

    void WriteLogText(const std::u16string& strText) { m_log.WriteLogText(strText); }
    CKivoLog& Log() { return m_log; }
    UINT ActivationMessage() const { return m_uActivateMsg; }
    // Whether the activation message was let through the privilege filter (Vista and later).
    bool ActivationMessageAllowed() const { return m_bMessageAllowed; }

private:
    HANDLE m_hMutex = nullptr;
    UINT m_uActivateMsg = 0;
    bool m_bMessageAllowed = false;
    bool m_bOleInit = false;
    CKivoLog m_log;
};

// The one application object of the program.
CKivoApp& KivoApp();

// The code of an OSVersion object built now (see OSVersion), supplied with the checks.
int KivoOSVersionCode();

// The switches of a local COM server, matched without case after "/" or "-".
enum class KivoSwitch
{
    None,
    Embedding,
    Automation,
    RegServer,
    UnregServer
};
KivoSwitch ParseKivoSwitch(const std::u16string& strCommandLine);
