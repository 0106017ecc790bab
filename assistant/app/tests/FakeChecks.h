// Checks whose answers a test sets; the same answers every time (Windows 7 unless told).
#pragma once

#include <string>
#include <vector>

#include "KivoChecks.h"

struct FakeChecks : IKivoChecks
{
    std::u16string os = u"Microsoft Windows seven", ie = u"IE 8.0";
    int userType = 1, network = 1, sites = 1, zone = 1, roots = 1, sign = 0, enroll = 0, enrollFiles = 0,
        keyControl = 1, middleware = 1, version = 1, complete = 1, runKey = 1, tokens = 1, certState = 0,
        osCode = 12;
    std::vector<std::u16string> found;

    std::u16string GetOSInfoText() override { return os; }
    std::u16string GetIEVersionText() override { return ie; }
    int GetUserType() override { return userType; }
    int CheckNetwork() override { return network; }
    int CheckTrustedSites() override { return sites; }
    int CheckTrustedZoneRows() override { return zone; }
    int CheckRootCerts() override { return roots; }
    int CheckSignPlugin() override { return sign; }
    int CheckEnrollPlugin() override { return enroll; }
    int CheckEnrollPluginFiles() override { return enrollFiles; }
    int CheckKeyControl() override { return keyControl; }
    int IsMiddlewareInstalled() override { return middleware; }
    int ReadMiddlewareVersion() override { return version; }
    int CheckMiddlewareComplete() override { return complete; }
    int CheckMiddlewareRunKey() override { return runKey; }
    int EnumTokenSlots() override { return tokens; }
    int GetTokenCertState() override { return certState; }
    int GetOSVersionCode() override { return osCode; }
    bool IsWow64() override { return false; }
    void FindFilesRecursive(std::vector<std::u16string>& files, const std::u16string&, const std::u16string&) override
    {
        files.insert(files.end(), found.begin(), found.end());
    }
};
