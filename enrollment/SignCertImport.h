// The issued signing certificate bound to the key container of its key pair.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// Commas are removed from wstrCert in place. dwKeySpec: AT_KEYEXCHANGE or AT_SIGNATURE.
HRESULT ImportSignCert(const std::u16string& wstrKeyAlgorithm, std::u16string& wstrCert, DWORD dwKeySpec,
                       const std::u16string& wstrCSPName, const std::u16string& wstrContainerName);
