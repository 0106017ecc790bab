#include "KivoMessageBox.h"

#include <mutex>

namespace
{
std::mutex g_lock;
KivoMessageBoxProc g_proc;
} // namespace

void SetKivoMessageBox(KivoMessageBoxProc proc)
{
    std::lock_guard lock(g_lock);
    g_proc = std::move(proc);
}

int KivoMessageBox(HWND hWnd, const std::u16string& strText, const std::u16string& strCaption, UINT uType)
{
    KivoMessageBoxProc proc;
    {
        std::lock_guard lock(g_lock);
        proc = g_proc;
    }
    if (proc)
        return proc(hWnd, strText, strCaption, uType);
    return MessageBoxW(hWnd, strText.c_str(), strCaption.c_str(), uType);
}
