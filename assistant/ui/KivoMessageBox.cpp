#include "KivoMessageBox.h"

#include <cstdio>
#include <mutex>

namespace
{
std::mutex g_lock;
KivoMessageBoxProc g_proc;

std::string Utf8(const std::u16string& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}
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
    std::fprintf(stderr, "[%s] %s\n", Utf8(strCaption).c_str(), Utf8(strText).c_str());
    return IDOK;
}
