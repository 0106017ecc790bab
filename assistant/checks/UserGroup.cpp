#include "UserGroup.h"

#include <cstring>

#include "lm.h"
#include "securitybaseapi.h"
#include "tlhelp32.h"
#include "windows.h"

namespace
{
typedef NET_API_STATUS(WINAPI* PFN_NET_USER_GET_LOCAL_GROUPS)(LPCWSTR, LPCWSTR, DWORD, DWORD, LPBYTE*, DWORD,
                                                               LPDWORD, LPDWORD);
typedef NET_API_STATUS(WINAPI* PFN_NET_API_BUFFER_FREE)(LPVOID);

// The account of the desktop shell's process: that is the logged-on user.
bool ShellUserName(WCHAR* szName, DWORD cchName)
{
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    DWORD dwShell = 0;
    for (BOOL bMore = Process32FirstW(hSnapshot, &entry); bMore; bMore = Process32NextW(hSnapshot, &entry))
    {
        if (lstrcmpiW(entry.szExeFile, u"EXPLORER.EXE") == 0)
        {
            dwShell = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(hSnapshot);
    if (!dwShell)
        return false;

    HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, dwShell);
    if (!hProcess)
        return false;
    bool bFound = false;
    HANDLE hToken = nullptr;
    if (OpenProcessToken(hProcess, TOKEN_QUERY, &hToken))
    {
        DWORD dwNeeded = 0;
        GetTokenInformation(hToken, TokenUser, nullptr, 0, &dwNeeded);
        if (dwNeeded)
        {
            BYTE* pInfo = new BYTE[dwNeeded];
            if (GetTokenInformation(hToken, TokenUser, pInfo, dwNeeded, &dwNeeded))
            {
                WCHAR szDomain[260] = {};
                DWORD cchDomain = 260;
                SID_NAME_USE use = SidTypeUser;
                bFound = LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(pInfo)->User.Sid, szName, &cchName,
                                           szDomain, &cchDomain, &use) != FALSE;
            }
            delete[] pInfo;
        }
        CloseHandle(hToken);
    }
    CloseHandle(hProcess);
    return bFound;
}
} // namespace

int GetUserGroupName(char* buffer, CComonCheck* pCheck)
{
    pCheck->m_version = {};
    pCheck->m_version.dwOSVersionInfoSize = sizeof pCheck->m_version;
    if (!GetVersionExW(&pCheck->m_version))
        return 0;
    if (pCheck->m_version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return -1;
    if (!pCheck->m_netApi)
        pCheck->m_netApi = LoadLibraryA("NetApi32.dll");
    if (!pCheck->m_netApi)
        return 0;

    // The snapshot's failure would be shown as "12" in a message box on Windows; the
    // stand-in has no message boxes, and the snapshot does not fail for process lists.
    WCHAR szName[260] = {};
    if (!ShellUserName(szName, 260))
        return 0;

    pCheck->m_netUserGetLocalGroups = GetProcAddress(pCheck->m_netApi, "NetUserGetLocalGroups");
    auto pfnGetGroups = reinterpret_cast<PFN_NET_USER_GET_LOCAL_GROUPS>(pCheck->m_netUserGetLocalGroups);
    auto pfnFree = reinterpret_cast<PFN_NET_API_BUFFER_FREE>(GetProcAddress(pCheck->m_netApi, "NetApiBufferFree"));
    if (!pfnGetGroups)
        return 0;
    LPBYTE pBuffer = nullptr;
    DWORD dwRead = 0, dwTotal = 0;
    NET_API_STATUS status =
        pfnGetGroups(nullptr, szName, 0, LG_INCLUDE_INDIRECT, &pBuffer, MAX_PREFERRED_LENGTH, &dwRead, &dwTotal);
    if (status != NERR_Success)
    {
        if (pBuffer && pfnFree)
            pfnFree(pBuffer);
        return 0;
    }
    auto* pGroups = reinterpret_cast<LOCALGROUP_USERS_INFO_0*>(pBuffer);
    for (DWORD i = 0; i < dwRead; ++i)
    {
        // Lower-cased before the conversion, so no trail byte of a double-byte character
        // is mistaken for a letter.
        WCHAR szLower[260] = {};
        for (int n = 0; n < 259 && pGroups[i].lgrui0_name[n]; ++n)
        {
            WCHAR c = pGroups[i].lgrui0_name[n];
            szLower[n] = (c >= u'A' && c <= u'Z') ? WCHAR(c + 32) : c;
        }
        std::memset(buffer, 0, 260);
        WideCharToMultiByte(CP_ACP, 0, szLower, -1, buffer, 259, nullptr, nullptr);
        if (std::strstr(buffer, "administrators"))
            break;
    }
    if (pBuffer && pfnFree)
        pfnFree(pBuffer);
    return 1;
}

int GetUserType(CComonCheck* pCheck)
{
    char szGroup[260] = {};
    int nResult = GetUserGroupName(szGroup, pCheck);
    if (nResult == -1)
        return 0;
    if (nResult == 0)
        std::strcpy(szGroup, "Guest");
    for (char* p = szGroup; *p; ++p)
        if (*p >= 'A' && *p <= 'Z')
            *p = char(*p + 32);
    if (std::strstr(szGroup, "administrator"))
        return 1;
    if (std::strstr(szGroup, "guest"))
        return 3;
    return 2;
}
