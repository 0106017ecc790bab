// CreateToolhelp32Snapshot and the process walk over the machine's session processes.
#include <algorithm>
#include <mutex>

#include "kernel_objects.h"
#include "session_processes.h"
#include "synchapi.h"
#include "tlhelp32.h"
#include "winbase.h"

namespace
{
class Snapshot : public qm::kernel32::KernelObject
{
public:
    explicit Snapshot(std::vector<qm::toolhelp::SessionProcess> processes) : m_processes(std::move(processes)) {}
    DWORD Wait(DWORD) override { return WAIT_FAILED; }

    // The entry at `index` (then the next one is the cursor), or false past the end.
    BOOL Fill(size_t index, LPPROCESSENTRY32W entry)
    {
        std::lock_guard guard(m_lock);
        if (index >= m_processes.size())
        {
            m_next = m_processes.size();
            SetLastError(ERROR_NO_MORE_FILES);
            return FALSE;
        }
        const auto& p = m_processes[index];
        entry->cntUsage = 0;
        entry->th32ProcessID = p.id;
        entry->th32DefaultHeapID = 0;
        entry->th32ModuleID = 0;
        entry->cntThreads = 1;
        entry->th32ParentProcessID = p.parentId;
        entry->pcPriClassBase = 8; // normal priority
        entry->dwFlags = 0;
        std::fill(std::begin(entry->szExeFile), std::end(entry->szExeFile), u'\0');
        std::copy_n(p.exeFile.begin(), std::min<size_t>(p.exeFile.size(), MAX_PATH - 1), entry->szExeFile);
        m_next = index + 1;
        return TRUE;
    }
    size_t Next()
    {
        std::lock_guard guard(m_lock);
        return m_next;
    }

private:
    std::mutex m_lock;
    std::vector<qm::toolhelp::SessionProcess> m_processes;
    size_t m_next = 0;
};

std::shared_ptr<Snapshot> SnapshotOf(HANDLE handle, LPPROCESSENTRY32W entry)
{
    auto snapshot = std::dynamic_pointer_cast<Snapshot>(qm::kernel32::FindObject(handle));
    if (!snapshot)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!entry || entry->dwSize < sizeof(PROCESSENTRY32W))
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    return snapshot;
}
} // namespace

QMAPI HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD)
{
    if (!(dwFlags & TH32CS_SNAPPROCESS) || (dwFlags & ~DWORD(TH32CS_SNAPPROCESS)))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // A session that cannot be read is no snapshot, not a shorter one.
    std::vector<qm::toolhelp::SessionProcess> processes;
    if (LSTATUS error = qm::toolhelp::SessionProcesses(&processes))
    {
        SetLastError(DWORD(error));
        return INVALID_HANDLE_VALUE;
    }
    return qm::kernel32::AddObject(std::make_shared<Snapshot>(std::move(processes)));
}

QMAPI BOOL WINAPI Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe)
{
    auto snapshot = SnapshotOf(hSnapshot, lppe);
    return snapshot ? snapshot->Fill(0, lppe) : FALSE;
}

QMAPI BOOL WINAPI Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe)
{
    auto snapshot = SnapshotOf(hSnapshot, lppe);
    return snapshot ? snapshot->Fill(snapshot->Next(), lppe) : FALSE;
}
