// The one-click repair (job 10) and the browser start of commands 21 to 23.
#pragma once

#include <string>

#include "KivoJobHost.h"

// Payloads the program carries, resources of type "BIN".
constexpr int IDR_BIN_MIDDLEWARE_SETUP = 133;
constexpr int IDR_BIN_LADRIN = 184;
constexpr int IDR_BIN_ADDRESSBOOK = 185;

void RunRepairJob(IKivoJobHost* pDlg);

// Writes the "BIN" resource to the file (created anew).
bool ExtractBinResource(HMODULE hModule, int nId, const std::u16string& strPath);
// The key's "UninstallString" under HKEY_LOCAL_MACHINE; the buffer stays as it was when
// the key or value is not there (ERROR_SUCCESS) or cannot be read (the registry's error).
LSTATUS ReadUninstallString(const std::u16string& strKey, std::u16string& strBuffer);
void ReplaceAll(std::u16string& strText, const std::u16string& strFrom, const std::u16string& strTo);
// Starts the uninstaller silently (quotes removed, "/S"), waits for it and pauses after a
// clean exit. Nothing when the file does not exist or will not start.
void RunSilentUninstaller(IKivoJobHost* pDlg, std::u16string strCommand, DWORD dwWaitMs);
// True when the key is gone afterwards (also when it was not there, but not when it cannot
// be read).
bool DeleteRegKeyTree(HKEY hRoot, REGSAM samDesired, const std::u16string& strKey);
bool RepairAcrobatAddressBook(IKivoJobHost* pDlg);
// 1 when the second installer ran to its end; 0 (with its REPAIR0 pairs sent) otherwise.
int RunLadrinRepair(IKivoJobHost* pDlg);
// Starts Internet Explorer at site 1, 2 or 3.
void OpenSiteInBrowser(int n);

// The user's temporary folder with a trailing backslash.
std::u16string GetTempFolder();
