// A fresh machine, checks with chosen answers, and a dialog window on the windowing
// stand-in that records each result pair as the page would receive it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeChecks.h"
#include "KivoDispatcher.h"
#include "WorkerCount.h"
#include "qm/machine.h"
#include "windows.h"

class FreshAssistantMachine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-assistant-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // The Linux file of a path on drive C.
    std::filesystem::path OnDrive(const std::u16string& windowsPath) const
    {
        std::string rel;
        for (char16_t c : windowsPath.substr(3))
            rel += c == u'\\' ? '/' : char(c);
        return m_dir / "drive_c" / rel;
    }
    static std::string ReadAll(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void WriteAll(const std::filesystem::path& file, const std::string& text)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    static bool KeyExists(const std::u16string& key, HKEY root = HKEY_LOCAL_MACHINE)
    {
        HKEY h = nullptr;
        if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return false;
        RegCloseKey(h);
        return true;
    }
    std::filesystem::path m_dir;
};

struct ResultPair
{
    std::u16string callback, code, status;
    int busy;
    bool onWindowThread;
    bool operator==(const ResultPair& o) const { return code == o.code && status == o.status; }
};

inline std::ostream& operator<<(std::ostream& os, const ResultPair& p)
{
    return os << "(" << std::string(p.code.begin(), p.code.end()) << ", "
              << std::string(p.status.begin(), p.status.end()) << ")";
}

// The dialog: a window of this thread that takes WM_KIVO_RESULT as the page host does.
class FakeDialog : public IKivoJobHost
{
public:
    explicit FakeDialog(std::unique_ptr<FakeChecks> checks = std::make_unique<FakeChecks>())
        : m_pChecks(std::move(checks)), m_checks(*m_pChecks)
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = u"FakeKivoDialog";
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, u"", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_thread = std::this_thread::get_id();
        m_workers.SetHostThread(m_thread);
    }
    ~FakeDialog() override { DestroyWindow(m_hwnd); }

    HWND GetResultWindow() override { return m_hwnd; }
    bool BindDocument() override { return m_bindable; }
    void ShowMessage(const std::u16string& text) override { m_messages.push_back(text); }
    CKivoJobState& JobState() override
    {
        m_workers.Note();
        return m_state;
    }
    IKivoChecks& Checks() override { return m_checks; }
    CKivoLog& Log() override { return m_log; }
    CKivoRepairWaits RepairWaits() override { return {0, 0}; }

    // Pumps this thread's messages until `count` end markers arrived, the busy flag is clear
    // and every worker has ended (or a generous limit passed, which fails the test). The
    // repair clears busy before its last pairs and again after them, so only the worker's
    // end tells that no late store can reach the next request.
    void PumpUntilDone(int count = 1)
    {
        for (int i = 0; i < 60000; ++i)
        {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            if (EndMarkers() >= count && m_state.m_nBusy == 0 && m_workers.Running() == 0)
                return;
            Sleep(1);
        }
        ADD_FAILURE() << "the job did not end";
    }
    int EndMarkers() const
    {
        int n = 0;
        for (auto& p : m_results)
            n += p.status == u"0";
        return n;
    }

    std::unique_ptr<FakeChecks> m_pChecks;
    FakeChecks& m_checks;
    CKivoLog m_log;
    CKivoJobState m_state;
    bool m_bindable = true;
    std::vector<std::u16string> m_messages;
    std::vector<ResultPair> m_results;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<FakeDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_KIVO_RESULT)
        {
            auto& args = self->m_state.m_arrResultArgs;
            self->m_results.push_back({self->m_state.m_strCallbackName, args.size() > 0 ? args[0] : u"",
                                       args.size() > 1 ? args[1] : u"", self->m_state.m_nBusy.load(),
                                       std::this_thread::get_id() == self->m_thread});
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
    std::thread::id m_thread;
    CWorkerCount m_workers;
};

// Workers are not tracked (their handles are closed at once) and may still be storing the
// busy flag or leaving after the last pair arrived, so a test's dialog outlives the test.
template <typename Checks = FakeChecks>
inline FakeDialog& NewFakeDialog()
{
    static auto* dialogs = new std::vector<std::unique_ptr<FakeDialog>>;
    dialogs->push_back(std::make_unique<FakeDialog>(std::make_unique<Checks>()));
    return *dialogs->back();
}
