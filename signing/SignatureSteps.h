// Steps both signing roads share: the digest check, the signature of a hash object, provider
// names for traces.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

// CryptSignHashW twice, for the length and then the value; the CSP's order (least
// significant byte first). Failures keep the CSP's code: rule 2 when bKeepCustomer, else rule 1.
HRESULT SignHashObject(LPCWSTR lpwszOperation, HCRYPTHASH hHash, DWORD dwKeySpec, bool bKeepCustomer,
                       BYTE** ppbSignature, DWORD* pcbSignature);

// Traces the name of the provider behind the handle; changes nothing.
void TraceProviderName(LPCWSTR lpwszOperation, HCRYPTPROV hProv);

// The last error of a failed call: rule 2 or rule 1, never success.
HRESULT FailedCallResult(bool bKeepCustomer);

// A caller's digest for a detached signature: present, and as long as the algorithm's digest
// (the CSP takes the length from the algorithm, not from the buffer). E_INVALIDARG otherwise.
HRESULT CheckDetachedDigest(LPCWSTR lpwszOperation, const BYTE* pbSrcHashData, DWORD cbSrcHashData,
                            ALG_ID uHashAlgorithm);
