// What the jobs ask of the system, browser, control, certificate and token checks. Each
// answers with the value its result-code mapping reads.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class IKivoChecks
{
public:
    virtual ~IKivoChecks() = default;

    virtual std::u16string GetOSInfoText() = 0;
    virtual std::u16string GetIEVersionText() = 0;
    // 0 outside the NT family, 1 administrator, 2 user, 3 guest.
    virtual int GetUserType() = 0;
    // 1 when the maker's web host answers.
    virtual int CheckNetwork() = 0;
    // 1 when either trusted-site row passes.
    virtual int CheckTrustedSites() = 0;
    // The seven trusted-zone security rows: 1 when they pass.
    virtual int CheckTrustedZoneRows() = 0;
    // 1 when every root-certificate key opens.
    virtual int CheckRootCerts() = 0;
    // 0 installed, 1 not registered, 2 files missing.
    virtual int CheckSignPlugin() = 0;
    virtual int CheckEnrollPlugin() = 0;
    // The enrollment plug-in's three file rows, redirection left on: 0 when present.
    virtual int CheckEnrollPluginFiles() = 0;
    // The key control's class row and its file row: 1 when both pass.
    virtual int CheckKeyControl() = 0;
    // Token middleware: uninstall key present (1), version current (1), installation
    // complete (1), its Run-key row passes (1).
    virtual int IsMiddlewareInstalled() = 0;
    virtual int ReadMiddlewareVersion() = 0;
    virtual int CheckMiddlewareComplete() = 0;
    virtual int CheckMiddlewareRunKey() = 0;
    // Tokens present (1 or more), else 0 or -1.
    virtual int EnumTokenSlots() = 0;
    // Of the first token: 0 valid, 1 no certificate, 2 expired, 3 expiring, 4 not yet valid,
    // -1 when it cannot be read.
    virtual int GetTokenCertState() = 0;
    // The token checks share one library state: a job holds this from the slot enumeration
    // to the certificate state, so that overlapping jobs take turns at the token.
    virtual std::unique_lock<std::mutex> LockTokenChecks() { return {}; }

    // Facts the repairs need: the version code of the operating system, whether the
    // program runs under WOW64, and every file below a folder whose path ends with a name.
    virtual int GetOSVersionCode() = 0;
    virtual bool IsWow64() = 0;
    virtual void FindFilesRecursive(std::vector<std::u16string>& files, const std::u16string& strFolder,
                                    const std::u16string& strName) = 0;
};
