// The CryptoAPI provider functions crypt32 calls. They live in advapi32's part of qmwin;
// the references are weak so that crypt32 links and fails cleanly (NTE_PROV_DLL_NOT_FOUND)
// in a build that has no provider dispatch.
#pragma once

#include "wincrypt.h"

#pragma weak CryptAcquireContextW
#pragma weak CryptReleaseContext
#pragma weak CryptGetUserKey
#pragma weak CryptExportKey
#pragma weak CryptDestroyKey
#pragma weak CryptImportKey

namespace qm::crypt
{
inline bool ProviderDispatchPresent()
{
    return &CryptAcquireContextW != nullptr && &CryptReleaseContext != nullptr;
}
} // namespace qm::crypt
