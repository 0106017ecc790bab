#include "KivoApp.h"

#include "KivoModule.h"
#include "KivoSecurityAttributes.h"
#include "commctrl.h"
#include "objbase.h"

namespace
{
const char kActivationMessage[] = "qv_mendo_detect_tools_single_instance_msgid";
const char kInstanceMutex[] = "qv_mendo_detect_tools_single_instance";

bool SameText(const std::u16string& a, const char16_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
    {
        char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? char16_t(a[i] + 32) : a[i];
        char16_t y = b[i] >= u'A' && b[i] <= u'Z' ? char16_t(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return i == a.size() && !b[i];
}
} // namespace

CKivoApp& KivoApp()
{
    static CKivoApp app;
    return app;
}

CKivoApp::~CKivoApp()
{
    if (m_hMutex)
        CloseHandle(m_hMutex);
}

KivoSwitch ParseKivoSwitch(const std::u16string& strCommandLine)
{
    size_t pos = 0;
    while (pos < strCommandLine.size())
    {
        size_t start = strCommandLine.find_first_not_of(u" \t", pos);
        if (start == std::u16string::npos)
            break;
        size_t end = strCommandLine.find_first_of(u" \t", start);
        std::u16string word = strCommandLine.substr(start, end == std::u16string::npos ? end : end - start);
        pos = end == std::u16string::npos ? strCommandLine.size() : end;
        if (word.size() < 2 || (word[0] != u'/' && word[0] != u'-'))
            continue;
        word.erase(0, 1);
        if (SameText(word, u"embedding"))
            return KivoSwitch::Embedding;
        if (SameText(word, u"automation"))
            return KivoSwitch::Automation;
        if (SameText(word, u"regserver"))
            return KivoSwitch::RegServer;
        if (SameText(word, u"unregserver"))
            return KivoSwitch::UnregServer;
    }
    return KivoSwitch::None;
}

BOOL CKivoApp::InitInstance(const std::u16string& strCommandLine)
{
    m_uActivateMsg = RegisterWindowMessageA(kActivationMessage);
    if (m_uActivateMsg == 0)
    {
        ShowKivoStartupError(u"Can not initialize.");
        return FALSE;
    }

    // From Vista on, an elevated instance drops messages from lower integrity levels unless
    // told otherwise; bound by name, as older Windows lacks the function.
    if (KivoOSVersionCode() >= 11)
    {
        if (HMODULE hUser32 = LoadLibraryA("USER32.Dll"))
        {
            using PFN_CHANGE_FILTER = BOOL(WINAPI*)(UINT, DWORD);
            auto pfnChangeFilter = reinterpret_cast<PFN_CHANGE_FILTER>(
                reinterpret_cast<void*>(GetProcAddress(hUser32, "ChangeWindowMessageFilter")));
            if (pfnChangeFilter)
                m_bMessageAllowed = pfnChangeFilter(m_uActivateMsg, MSGFLT_ADD) == 1;
            FreeLibrary(hUser32);
        }
    }

    m_hMutex = CreateMutexA(KivoSecurityAttributes().Get(), FALSE, kInstanceMutex);
    if (GetLastError() == ERROR_ALREADY_EXISTS)
    {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
        PostMessageA(HWND_BROADCAST, m_uActivateMsg, 0, 0);
        return FALSE;
    }

    m_bOleInit = SUCCEEDED(CoInitialize(nullptr));
    INITCOMMONCONTROLSEX icc = {8, 0xFF};
    InitCommonControlsEx(&icc);

    KivoSwitch sw = ParseKivoSwitch(strCommandLine);
    if (FAILED(KivoModule().RegisterClassObjects()))
        return FALSE;
    switch (sw)
    {
    case KivoSwitch::Embedding:
    case KivoSwitch::Automation:
        // Alive for COM only, until the last client lets go (or a WM_QUIT).
        KivoModule().SetServerMode(true);
        return TRUE;
    case KivoSwitch::UnregServer:
        if (SUCCEEDED(KivoModule().UpdateRegistryAppId(FALSE)))
            KivoModule().UnregisterServer();
        return FALSE;
    case KivoSwitch::RegServer:
        if (SUCCEEDED(KivoModule().UpdateRegistryAppId(TRUE)))
            KivoModule().RegisterServer();
        return FALSE;
    case KivoSwitch::None:
        break;
    }

    WCHAR szModule[MAX_PATH] = {};
    DWORD cch = GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    // A cut-off path would name some other file.
    if (cch == 0 || cch >= MAX_PATH || !m_log.Open(BuildLogPath(szModule)))
        m_log.Open(u"");

    {
        std::unique_ptr<IKivoMainDialog> dlg = CreateKivoMainDialog(*this);
        if (dlg)
            dlg->DoModal();
    }
    return FALSE;
}

int CKivoApp::Run()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

int CKivoApp::ExitInstance()
{
    m_log.Close();
    KivoModule().RevokeClassObjects();
    if (m_bOleInit)
        CoUninitialize();
    m_bOleInit = false;
    if (m_hMutex)
        CloseHandle(m_hMutex);
    m_hMutex = nullptr;
    return 0;
}
