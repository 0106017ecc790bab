// The current user's "MY" entries of one import: what to put back when the import fails
// after writing the store, and what to take out with a deleted key container.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

// What "MY" held for one certificate before an import wrote it.
class CPersonalStoreEntry
{
  public:
    CPersonalStoreEntry() = default;
    CPersonalStoreEntry(const CPersonalStoreEntry&) = delete;
    CPersonalStoreEntry& operator=(const CPersonalStoreEntry&) = delete;
    ~CPersonalStoreEntry();

    // Keeps a copy of the store's entry for the encoded certificate, with its properties,
    // or notes that there is none.
    HRESULT Save(const BYTE* pbCert, DWORD cbCert);
    // Puts the saved entry back, or removes the certificate when there was none.
    HRESULT Restore();

  private:
    PCCERT_CONTEXT m_pCertContext = nullptr; // the certificate the import writes
    HCERTSTORE m_hSaved = nullptr;           // memory store with the old entry, or none
};

// Removes from "MY" every certificate whose key provider information names the container
// in the CSP: the certificates of a container that is gone.
HRESULT RemoveStoreCertificatesOfContainer(const std::u16string& wstrCSPName,
                                           const std::u16string& wstrContainerName);
