// A machine in a temporary directory with the recording provider module registered, for
// tests that sign through CryptoAPI and look at what reached the CSP.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "TestSigner.h"

namespace signing_test
{
extern const WCHAR kRecordingProviderName[];

class CRecordingCspMachine
{
public:
    CRecordingCspMachine();
    ~CRecordingCspMachine();

    const CTempDir& Dir() const { return m_dir; }

    // Empties the CSP's log and clears the injected failures.
    void ResetLog();
    std::vector<std::string> Log() const;
    std::vector<std::string> LogLines(const std::string& prefix) const;
    // Sizes handed to CryptHashData, in order.
    std::vector<size_t> HashedPieces() const;

    // A crypt32 context whose key-provider property names the signer's key file as container.
    static PCCERT_CONTEXT ContextWithKey(const CTestSigner& signer);
    // Adds the certificate with its key-provider property to the user's "MY" store.
    static bool AddToMyStore(const CTestSigner& signer);

    // openssl cms -verify of the DER message, with the content for a detached one.
    bool CmsVerifies(const Bytes& der, const Bytes& content, bool bDetached);

private:
    CTempDir m_dir;
    std::string m_log;
    int m_nFile = 0;
};

std::u16string Wide(const std::string& text);
// The text of a BSTR, which is freed.
std::u16string TakeBstr(BSTR bstr);
} // namespace signing_test
