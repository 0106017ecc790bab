// Threads: each one runs detached; its handle is signalled when the routine returns.
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "kernel_objects.h"
#include "processthreadsapi.h"
#include "synchapi.h"
#include "winbase.h"

namespace
{
class ThreadObject : public qm::kernel32::KernelObject
{
public:
    void Finish(DWORD code)
    {
        {
            std::lock_guard guard(m_lock);
            m_exitCode = code;
            m_done = true;
        }
        m_finished.notify_all();
    }
    DWORD Wait(DWORD ms) override
    {
        std::unique_lock lock(m_lock);
        if (ms == INFINITE)
            m_finished.wait(lock, [&] { return m_done; });
        else
            m_finished.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_done; });
        return m_done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }
    DWORD ExitCode()
    {
        std::lock_guard guard(m_lock);
        return m_done ? m_exitCode : DWORD(STILL_ACTIVE);
    }

private:
    std::mutex m_lock;
    std::condition_variable m_finished;
    bool m_done = false;
    DWORD m_exitCode = 0;
};
} // namespace

QMAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                                 LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                                 LPDWORD lpThreadId)
{
    if (!lpStartAddress)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwCreationFlags & CREATE_SUSPENDED)
    {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    auto started = std::make_shared<std::promise<DWORD>>();
    auto id = started->get_future();
    try
    {
        std::thread([thread, started, lpStartAddress, lpParameter] {
            started->set_value(GetCurrentThreadId());
            thread->Finish(lpStartAddress(lpParameter));
        }).detach();
    }
    catch (const std::system_error&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DWORD threadId = id.get();
    if (lpThreadId)
        *lpThreadId = threadId;
    return qm::kernel32::AddObject(thread);
}

QMAPI BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    auto thread = std::dynamic_pointer_cast<ThreadObject>(qm::kernel32::FindObject(hThread));
    if (!thread || !lpExitCode)
    {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = thread->ExitCode();
    return TRUE;
}

QMAPI DWORD WINAPI GetCurrentThreadId(void) { return DWORD(::syscall(SYS_gettid)); }

QMAPI DWORD WINAPI GetCurrentProcessId(void) { return DWORD(::getpid()); }

QMAPI void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == INFINITE)
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
