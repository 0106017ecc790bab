#include "KivoDispatcher.h"

#include "KivoRepair.h"

bool DispatchSysCall(int nCmdId, const std::u16string& strArgs, IKivoJobHost* pDlg, std::u16string& strOut)
{
    if (!pDlg->BindDocument())
    {
        pDlg->ShowMessage(u"js.SetDocument() failed.");
        return false;
    }
    CKivoJobState& state = pDlg->JobState();
    state.m_nBusy = 1;
    state.m_nJobCode = nCmdId;
    switch (nCmdId)
    {
    case 1:
        state.m_strCallbackName = u"mainframe1.addResult";
        break;
    case 2:
        state.m_strCallbackName = u"mainframe2.addResult";
        break;
    case 3:
        state.m_strCallbackName = u"mainframe3.addResult";
        break;
    case 4:
        state.m_strCallbackName = u"mainframe.addResult";
        pDlg->Log().Empty();
        break;
    case 10:
        if (strArgs == u"QVIE")
            state.m_strCallbackName = u"mainframe3.addResult";
        else if (strArgs == u"QVCT")
            state.m_strCallbackName = u"mainframe2.addResult";
        else if (strArgs == u"QVKEY")
            state.m_strCallbackName = u"mainframe1.addResult";
        else
            state.m_strCallbackName = u"mainframe.addResult";
        break;
    case 21:
    case 22:
    case 23:
        OpenSiteInBrowser(nCmdId - 20);
        break;
    default:
        strOut = u"PARM ERR";
        break;
    }
    HANDLE hThread = CreateThread(nullptr, 0, DetectThreadProc, pDlg, 0, nullptr);
    if (hThread)
        CloseHandle(hThread);
    else
        state.m_nBusy = 0; // no worker will clear it
    return true;
}

DWORD WINAPI DetectThreadProc(LPVOID lpParameter)
{
    auto* pDlg = static_cast<IKivoJobHost*>(lpParameter);
    CKivoJobState& state = pDlg->JobState();
    int nJob = state.m_nJobCode;
    state.m_nBusy = 1;
    switch (nJob)
    {
    case 1:
        RunUsbKeyJob(pDlg);
        break;
    case 2:
        RunControlJob(pDlg);
        break;
    case 3:
        RunSystemJob(pDlg);
        break;
    case 4:
        RunFullCheckJob(pDlg);
        break;
    case 10:
        RunRepairJob(pDlg);
        break;
    default:
        break;
    }
    state.m_nBusy = 0;
    return 0;
}

void SendJobResult(IKivoJobHost* pDlg, const std::u16string& strCode, const std::u16string& strStatus)
{
    CKivoJobState& state = pDlg->JobState();
    std::lock_guard guard(state.m_resultLock);
    state.m_arrResultArgs.clear();
    state.m_arrResultArgs.push_back(strCode);
    state.m_arrResultArgs.push_back(strStatus);
    SendMessageW(pDlg->GetResultWindow(), WM_KIVO_RESULT, 0, 0);
}
