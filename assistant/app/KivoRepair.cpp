#include "KivoRepair.h"

#include <cstdio>

#include "KivoDispatcher.h"
#include "shellapi.h"
#include "shlobj.h"
#include "shlwapi.h"

namespace
{
const char16_t kUninstallRoot[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t* const kUninstallKeys[] = {
    u"Sigmora.RaraRividiveda.Pro.x8603020209",
    u"Sigmora.Tidelane30020003",
    u"Ravo5150-4FE7-A218-48BDAE051E2B_Pellix10180601",
};
const char16_t kStaleUninstallKey[] = u"Ravo5150-4FE7-A218-48BDAE051E2B_Pellix10200528";
const char16_t kFixedUninstaller[] = u"Pellix\\Ravo5150\\uninst.exe";

// ShellExecuteEx of a program with "/S", elevated on Vista or later. Null when it did not start.
HANDLE StartSilent(IKivoJobHost* pDlg, const std::u16string& strPath)
{
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = pDlg->Checks().GetOSVersionCode() >= 11 ? u"runas" : u"";
    sei.lpFile = strPath.c_str();
    sei.lpParameters = u"/S";
    sei.nShow = SW_SHOW;
    if (!ShellExecuteExW(&sei))
        return nullptr;
    return sei.hProcess;
}

// Waits without a time-out; true when the exit code could be read and is 0.
bool WaitForCleanExit(HANDLE hProcess)
{
    WaitForSingleObject(hProcess, INFINITE);
    DWORD dwExit = 1;
    bool bClean = GetExitCodeProcess(hProcess, &dwExit) && dwExit == 0;
    CloseHandle(hProcess);
    return bClean;
}

std::u16string LocalTimeSuffix()
{
    SYSTEMTIME st = {};
    GetLocalTime(&st);
    char sz[16];
    std::snprintf(sz, sizeof sz, "%02u%02u%02u", st.wHour, st.wMinute, st.wSecond);
    return std::u16string(sz, sz + 6);
}

void SendBoth(IKivoJobHost* pDlg, const char16_t* pszCode)
{
    SendJobResult(pDlg, pszCode, u"100");
    SendJobResult(pDlg, pszCode, u"0");
}
} // namespace

std::u16string GetTempFolder()
{
    WCHAR szTemp[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, szTemp);
    return n > 0 && n < MAX_PATH ? std::u16string(szTemp, n) : std::u16string();
}

bool ExtractBinResource(HMODULE hModule, int nId, const std::u16string& strPath)
{
    HRSRC hRes = FindResourceW(hModule, MAKEINTRESOURCEW(nId), u"BIN");
    if (!hRes)
        return false;
    HGLOBAL hData = LoadResource(hModule, hRes);
    const void* pData = hData ? LockResource(hData) : nullptr;
    DWORD cbData = SizeofResource(hModule, hRes);
    if (!pData)
        return false;
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 1 /*FILE_SHARE_READ*/, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD cbWritten = 0;
    bool bOk = WriteFile(hFile, pData, cbData, &cbWritten, nullptr) && cbWritten == cbData;
    CloseHandle(hFile);
    return bOk;
}

LSTATUS ReadUninstallString(const std::u16string& strKey, std::u16string& strBuffer)
{
    HKEY hKey = nullptr;
    LSTATUS rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_ALL_ACCESS, &hKey);
    if (rc != ERROR_SUCCESS)
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    WCHAR szValue[MAX_PATH] = {};
    DWORD cb = sizeof szValue - sizeof(WCHAR); // room for the terminator the value may lack
    DWORD dwType = 0;
    rc = RegQueryValueExW(hKey, u"UninstallString", nullptr, &dwType, reinterpret_cast<BYTE*>(szValue), &cb);
    if (rc == ERROR_SUCCESS && (dwType == REG_SZ || dwType == REG_EXPAND_SZ))
        strBuffer.assign(szValue);
    RegCloseKey(hKey);
    // A text too long for a path names no uninstaller; only an unreadable value is an error.
    return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_MORE_DATA ? ERROR_SUCCESS : rc;
}

void ReplaceAll(std::u16string& strText, const std::u16string& strFrom, const std::u16string& strTo)
{
    if (strFrom.empty())
        return;
    for (size_t pos = strText.find(strFrom); pos != std::u16string::npos; pos = strText.find(strFrom, pos))
    {
        strText.replace(pos, strFrom.size(), strTo);
        pos += strTo.size();
    }
}

void RunSilentUninstaller(IKivoJobHost* pDlg, std::u16string strCommand, DWORD dwWaitMs)
{
    ReplaceAll(strCommand, u"\"", u"");
    if (strCommand.empty() || !PathFileExistsW(strCommand.c_str()))
        return;
    HANDLE hProcess = StartSilent(pDlg, strCommand);
    if (!hProcess)
        return;
    if (WaitForCleanExit(hProcess))
        Sleep(dwWaitMs);
}

bool DeleteRegKeyTree(HKEY hRoot, REGSAM samDesired, const std::u16string& strKey)
{
    HKEY hKey = nullptr;
    if (LSTATUS rc = RegOpenKeyExW(hRoot, strKey.c_str(), 0, samDesired, &hKey))
        return rc == ERROR_FILE_NOT_FOUND;
    for (;;)
    {
        WCHAR szName[512];
        DWORD cch = 512;
        if (RegEnumKeyExW(hKey, 0, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::u16string strSub = strKey + u"\\" + szName;
        if (!DeleteRegKeyTree(hRoot, samDesired, strSub))
            break;
        // A subkey that reports success but is still there would loop for ever.
        HKEY hCheck = nullptr;
        if (RegOpenKeyExW(hRoot, strSub.c_str(), 0, KEY_READ, &hCheck) == ERROR_SUCCESS)
        {
            RegCloseKey(hCheck);
            break;
        }
    }
    RegCloseKey(hKey);
    return SHDeleteKeyW(hRoot, strKey.c_str()) == ERROR_SUCCESS;
}

bool RepairAcrobatAddressBook(IKivoJobHost* pDlg)
{
    std::u16string strTempFile = GetTempFolder() + u"addressbook.acrodata";
    if (!ExtractBinResource(pDlg->ResourceModule(), IDR_BIN_ADDRESSBOOK, strTempFile))
        return true;
    WCHAR szAppData[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szAppData) != S_OK)
        return true;
    std::u16string strFolder = std::u16string(szAppData) + u"\\Adobe\\Acrobat";
    std::u16string strSuffix = LocalTimeSuffix();
    std::vector<std::u16string> files;
    pDlg->Checks().FindFilesRecursive(files, strFolder, u"addressbook.acrodata");
    for (const auto& strFile : files)
    {
        // The old book is kept beside the new one; if it cannot be moved aside it stays
        // untouched rather than being overwritten.
        if (!MoveFileW(strFile.c_str(), (strFile + strSuffix).c_str()))
            continue;
        CopyFileW(strTempFile.c_str(), strFile.c_str(), FALSE);
    }
    return true;
}

int RunLadrinRepair(IKivoJobHost* pDlg)
{
    std::u16string strPath = GetTempFolder() + u"Ladrin.exe";
    const char16_t* pszFailStatus = u"1";
    bool bRan = false;
    if (ExtractBinResource(pDlg->ResourceModule(), IDR_BIN_LADRIN, strPath))
    {
        std::u16string strCommand = strPath;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        {
            WaitForSingleObject(pi.hProcess, INFINITE);
            DWORD dwExit = 0;
            bRan = GetExitCodeProcess(pi.hProcess, &dwExit) != FALSE; // the code itself is not judged
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
            pszFailStatus = u"100";
        }
    }
    if (!bRan)
    {
        SendJobResult(pDlg, u"REPAIR0", pszFailStatus);
        SendJobResult(pDlg, u"REPAIR0", u"0");
        pDlg->JobState().m_nBusy = 0;
        return 0;
    }
    pDlg->JobState().m_nBusy = 0;
    return 1;
}

void RunRepairJob(IKivoJobHost* pDlg)
{
    CKivoRepairWaits waits = pDlg->RepairWaits();
    SendJobResult(pDlg, u"TITLE_CS", u"1");
    RepairAcrobatAddressBook(pDlg);

    for (const char16_t* pszKey : kUninstallKeys)
    {
        std::u16string strCommand;
        // An entry that cannot be read is not "not installed": the repair fails rather than
        // install over a product it could not remove.
        if (ReadUninstallString(std::u16string(kUninstallRoot) + pszKey, strCommand) != ERROR_SUCCESS)
        {
            SendBoth(pDlg, u"REPAIR0");
            pDlg->JobState().m_nBusy = 0;
            return;
        }
        ReplaceAll(strCommand, u"\"", u"");
        RunSilentUninstaller(pDlg, strCommand, waits.dwAfterUninstaller);
    }
    WCHAR szProgramFiles[MAX_PATH] = {};
    int csidl = pDlg->Checks().IsWow64() ? CSIDL_PROGRAM_FILESX86 : CSIDL_PROGRAM_FILES;
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, szProgramFiles) == S_OK)
        RunSilentUninstaller(pDlg, std::u16string(szProgramFiles) + u"\\" + kFixedUninstaller,
                             waits.dwAfterUninstaller);
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, std::u16string(kUninstallRoot) + kStaleUninstallKey);

    if (!RunLadrinRepair(pDlg))
        return;

    std::u16string strSetup = GetTempFolder() + u"TAVELIN_SETUP.EXE";
    if (!ExtractBinResource(pDlg->ResourceModule(), IDR_BIN_MIDDLEWARE_SETUP, strSetup))
        SendBoth(pDlg, u"REPAIR0");
    else if (!PathFileExistsW(strSetup.c_str()))
        SendBoth(pDlg, u"REPAIR2");
    else if (HANDLE hProcess = StartSilent(pDlg, strSetup); !hProcess)
        SendBoth(pDlg, u"REPAIR0");
    else if (!WaitForCleanExit(hProcess))
        SendBoth(pDlg, u"REPAIR0");
    else
    {
        Sleep(waits.dwAfterInstaller);
        SendBoth(pDlg, u"REPAIR2");
    }
    pDlg->JobState().m_nBusy = 0;
}

void OpenSiteInBrowser(int n)
{
    static const char16_t* const kSites[] = {
        u"https://www.quillmark.com.cn/", // the host the trusted-site rows name
        u"https://ebank.partner-bank.example/pweb/",
        u"https://ebank.partner-bank.example:8443/eweb/",
    };
    if (n < 1 || n > 3)
        return;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      &hKey) != ERROR_SUCCESS)
        return;
    WCHAR szFolder[MAX_PATH] = {};
    DWORD cb = sizeof szFolder - sizeof(WCHAR);
    DWORD dwType = 0;
    LONG rc = RegQueryValueExW(hKey, u"ProgramFilesDir", nullptr, &dwType, reinterpret_cast<BYTE*>(szFolder), &cb);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return;
    std::u16string strCommand =
        u"\"" + std::u16string(szFolder) + u"\\Internet Explorer\\IEXPLORE.EXE\" " + kSites[n - 1];
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
}
