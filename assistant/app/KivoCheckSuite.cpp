#include "KivoCheckSuite.h"

#include <atomic>

#include "CheckTables.h"
#include "CheckText.h"
#include "Connectivity.h"
#include "FileChecks.h"
#include "FileSearch.h"
#include "KivoApp.h"
#include "MiddlewareConfig.h"
#include "MiddlewareVersion.h"
#include "OSVersion.h"
#include "RegistryChecks.h"
#include "SystemInfoChecks.h"
#include "TokenChecks.h"
#include "TokenService.h"
#include "UserGroup.h"
#include "wow64apiset.h"

namespace
{
std::atomic<CKivoLog*> g_pCheckLog{nullptr};

void WriteToAppLog(LPCSTR text)
{
    if (CKivoLog* pLog = g_pCheckLog)
        pLog->WriteLogText(WideFromAcp(text));
}

class CKivoCheckSuite : public IKivoChecks
{
public:
    std::u16string GetOSInfoText() override { return WideFromAcp(GetOSDescription().c_str()); }
    std::u16string GetIEVersionText() override { return WideFromAcp(GetIEVersion().c_str()); }
    int GetUserType() override
    {
        std::lock_guard lock(m_commonLock);
        return ::GetUserType(&m_common);
    }
    int CheckNetwork() override { return CheckUrlConnectivity(kMakerWebAddress) == 1 ? 1 : 0; }
    int CheckTrustedSites() override
    {
        return CheckRegistryRows(&g_regCheckRows[kRegTrustedSite], 1) == 1 ||
                       CheckRegistryRows(&g_regCheckRows[kRegTrustedSite + 1], 1) == 1
                   ? 1
                   : 0;
    }
    int CheckTrustedZoneRows() override
    {
        return CheckRegistryRows(&g_regCheckRows[kRegTrustedZone], 7);
    }
    int CheckRootCerts() override { return ::CheckRootCerts(); }
    int CheckSignPlugin() override
    {
        return PluginState(kRegSignControlClass, kFilesSignPlugin32, kFilesSignPluginWow64);
    }
    int CheckEnrollPlugin() override
    {
        return PluginState(kRegEnrollControlClass, kFilesEnrollPlugin32, kFilesEnrollPluginWow64);
    }
    int CheckEnrollPluginFiles() override
    {
        return CheckFileRows(&g_fileCheckRows[kFilesEnrollPluginWow64], 3, 0, 0);
    }
    int CheckKeyControl() override
    {
        return CheckRegistryRows(&g_regCheckRows[kRegKeyControlClass], 1) == 1 &&
                       CheckFileRows(&g_fileCheckRows[kFilesKeyControl], 1, 0, 0) == 0
                   ? 1
                   : 0;
    }
    int IsMiddlewareInstalled() override
    {
        std::u16string strKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                WideFromAcp(g_middlewareConfig.uninstallName);
        char szVersion[260] = {};
        ::ReadMiddlewareVersion(szVersion, g_middlewareConfig.registryKey, g_middlewareConfig.expectedVersion);
        for (const std::u16string& strTry : {strKey, strKey + WideFromAcp(szVersion)})
        {
            HKEY hKey = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, strTry.c_str(), 0, KEY_QUERY_VALUE, &hKey) == ERROR_SUCCESS)
            {
                RegCloseKey(hKey);
                return 1;
            }
        }
        return 0;
    }
    int ReadMiddlewareVersion() override
    {
        char szVersion[260] = {};
        return ::ReadMiddlewareVersion(szVersion, g_middlewareConfig.registryKey, g_middlewareConfig.expectedVersion);
    }
    int CheckMiddlewareComplete() override
    {
        return CheckRegistryRows(&g_regCheckRows[kRegTokenCsp], 3) == 1 &&
                       CheckFileRows(&g_fileCheckRows[kFilesMiddleware], 12, 1, 0) == 0 && CheckDovraRunning() == 1
                   ? 1
                   : 0;
    }
    int CheckMiddlewareRunKey() override
    {
        return CheckRegistryRows(&g_regCheckRows[kRegTrayProgram], 1);
    }
    int EnumTokenSlots() override { return ::EnumTokenSlots(&m_check); }
    int GetTokenCertState() override
    {
        if (!m_check.m_module || ReadTokenCertificates(&m_check) == 0)
            return -1;
        if (m_check.m_tokens.empty())
            return 0;
        const TokenSlotInfo& first = m_check.m_tokens.front();
        if (first.certCount == 0)
            return 1;
        if (first.expired > 0)
            return 2;
        if (first.expiringSoon > 0)
            return 3;
        if (first.notYetValid > 0)
            return 4;
        return 0;
    }
    std::unique_lock<std::mutex> LockTokenChecks() override { return std::unique_lock(m_tokenLock); }
    int GetOSVersionCode() override { return g_osVersion.code; }
    bool IsWow64() override
    {
        BOOL bWow64 = FALSE;
        return IsWow64Process(GetCurrentProcess(), &bWow64) && bWow64;
    }
    void FindFilesRecursive(std::vector<std::u16string>& files, const std::u16string& strFolder,
                            const std::u16string& strName) override
    {
        ::FindFilesRecursive(files, strFolder, strName);
    }

private:
    // 1 when the class row fails; else 0 when the files pass, 2 when they do not.
    int PluginState(int nClassRow, int nFiles32, int nFilesWow64)
    {
        if (CheckRegistryRows(&g_regCheckRows[nClassRow], 1) == 0)
            return 1;
        int nFiles = IsWow64() ? CheckFileRows(&g_fileCheckRows[nFilesWow64], 3, 0, 1)
                               : CheckFileRows(&g_fileCheckRows[nFiles32], 2, 0, 0);
        return nFiles == 0 ? 0 : 2;
    }

    std::mutex m_tokenLock; // guards m_check
    CCheckBase m_check;
    std::mutex m_commonLock; // guards m_common
    CComonCheck m_common;
};
} // namespace

void RouteCheckLogTo(CKivoLog* pLog)
{
    g_pCheckLog = pLog;
    SetCheckLogWriter(WriteToAppLog);
}

IKivoChecks& KivoChecks()
{
    static CKivoCheckSuite checks;
    return checks;
}

int KivoOSVersionCode()
{
    OSVersion version;
    return version.code;
}
