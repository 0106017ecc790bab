// What the job dispatcher needs of the main dialog: where results go, the state the
// dialog keeps for the running job, and the services the jobs use.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "KivoChecks.h"
#include "KivoLog.h"
#include "windows.h"

// Sent (blocking) to the dialog for each result pair; the dialog passes
// m_arrResultArgs (code, status) to the page function m_strCallbackName.
constexpr UINT WM_KIVO_RESULT = 3002;

struct CKivoJobState
{
    // 1 while a job runs; only page navigation looks at it.
    std::atomic<int> m_nBusy{0};
    // The CmdId of the last request; a worker reads it when it starts.
    std::atomic<int> m_nJobCode{0};
    // Written by a worker before WM_KIVO_RESULT, read by the dialog while handling it.
    std::vector<std::u16string> m_arrResultArgs;
    // Written by the dispatcher and read by the dialog, both on the user-interface thread.
    std::u16string m_strCallbackName;
    // Two workers may run at once: one pair is filled and delivered at a time.
    std::mutex m_resultLock;
};

// Pauses of the repair after external programs (milliseconds).
struct CKivoRepairWaits
{
    DWORD dwAfterUninstaller = 5000;
    DWORD dwAfterInstaller = 3000;
};

class IKivoJobHost
{
public:
    virtual ~IKivoJobHost() = default;
    // The dialog window that receives WM_KIVO_RESULT.
    virtual HWND GetResultWindow() = 0;
    // Binds the browser's current document for the page calls; false when it cannot.
    virtual bool BindDocument() = 0;
    // A modal message box with an OK button.
    virtual void ShowMessage(const std::u16string& strText) = 0;
    virtual CKivoJobState& JobState() = 0;
    virtual IKivoChecks& Checks() = 0;
    virtual CKivoLog& Log() = 0;
    // The module that carries the repair payloads (the program by default).
    virtual HMODULE ResourceModule() { return nullptr; }
    virtual CKivoRepairWaits RepairWaits() { return {}; }
};
