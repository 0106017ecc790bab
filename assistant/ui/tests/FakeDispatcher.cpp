#include "FakeDispatcher.h"

#include <mutex>
#include <thread>

#include "KivoDispatcher.h"

namespace
{
std::mutex g_lock;
std::map<int, ResultPairs> g_scripts;
std::vector<FakeCall> g_calls;
std::vector<std::thread> g_workers;
std::function<void(IKivoJobHost*)> g_after;
} // namespace

void SetAfterJob(std::function<void(IKivoJobHost*)> after)
{
    std::lock_guard lock(g_lock);
    g_after = std::move(after);
}

void SetScriptedResults(int nCmdId, ResultPairs pairs)
{
    std::lock_guard lock(g_lock);
    g_scripts[nCmdId] = std::move(pairs);
}

std::vector<FakeCall> FakeCalls()
{
    std::lock_guard lock(g_lock);
    return g_calls;
}

void ResetFakeDispatcher()
{
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(g_lock);
        workers.swap(g_workers);
        g_calls.clear();
        g_scripts.clear();
        g_after = nullptr;
    }
    for (auto& t : workers)
        t.join();
}

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
    static const std::map<int, std::u16string> frames = {
        {1, u"mainframe1.addResult"}, {2, u"mainframe2.addResult"}, {3, u"mainframe3.addResult"}, {4, u"mainframe.addResult"}};
    if (auto it = frames.find(nCmdId); it != frames.end())
        state.m_strCallbackName = it->second;
    else if (nCmdId == 10)
        state.m_strCallbackName = strArgs == u"QVIE"    ? u"mainframe3.addResult"
                                  : strArgs == u"QVCT"  ? u"mainframe2.addResult"
                                  : strArgs == u"QVKEY" ? u"mainframe1.addResult"
                                                        : u"mainframe.addResult";
    else if (nCmdId < 21 || nCmdId > 23) // 21 to 23 open a web site and keep the frame
        strOut = u"PARM ERR";
    ResultPairs pairs;
    std::function<void(IKivoJobHost*)> after;
    {
        std::lock_guard lock(g_lock);
        g_calls.push_back({nCmdId, strArgs});
        pairs = g_scripts[nCmdId];
        after = g_after;
    }
    std::thread worker([pDlg, pairs, after] {
        CKivoJobState& st = pDlg->JobState();
        for (const auto& [code, status] : pairs)
        {
            std::lock_guard lock(st.m_resultLock);
            st.m_arrResultArgs = {code, status};
            SendMessageW(pDlg->GetResultWindow(), WM_KIVO_RESULT, 0, 0);
        }
        st.m_nBusy = 0;
        if (after)
            after(pDlg);
    });
    std::lock_guard lock(g_lock);
    g_workers.push_back(std::move(worker));
    return true;
}
