// Certificate contexts and stores of the crypt32 stand-in.
//
// A context is an element: the CERT_CONTEXT the caller sees (first member, so the pointer
// converts back), the parsed CERT_INFO, the properties, and a reference count that
// CertDuplicateCertificateContext raises and CertFreeCertificateContext lowers. A store
// holds one reference on each of its elements; an element keeps its store alive (as on
// Windows, a store is freed when it is closed and its last context is freed).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "util.h"

namespace qm::crypt
{
struct Store;

struct CertElement
{
    CERT_CONTEXT ctx{};
    uint32_t magic = 0x43455254; // "CERT"
    int refs = 1;
    Bytes encoded;
    CERT_INFO info{};
    // Storage behind the pointers of info.
    std::string sigOid;
    std::string spkiOid;
    Bytes serial;
    std::vector<std::string> extOids;
    std::vector<CERT_EXTENSION> exts;

    std::map<DWORD, Bytes> props; // property data as serialized
    Store* store = nullptr;
    bool inStore = false;
    uint64_t seq = 0;           // order of addition in the store
    std::u16string regKeyName;  // key of a registry-backed store
};

enum class StoreKind
{
    Memory,
    System,
    Pkcs7,
};

struct Store
{
    uint32_t magic = 0x53544F52; // "STOR"
    StoreKind kind = StoreKind::Memory;
    int handleRefs = 1;
    int liveElements = 0;
    bool readOnly = false;
    std::vector<CertElement*> certs; // each holds one reference
    uint64_t nextSeq = 1;
    // Registry-backed system stores.
    HKEY root = nullptr;           // HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
    std::u16string certsKeyPath;   // ...\SystemCertificates\<name>\Certificates
    bool localMachine = false;
    HCRYPTPROV provToRelease = 0;
};

// One lock for all contexts and stores; the stand-in is not built for heavy concurrency.
std::recursive_mutex& Lock();

CertElement* ElementOf(PCCERT_CONTEXT p);
Store* StoreOf(HCERTSTORE h);

// Parses a DER certificate into a new, unattached element (one reference).
// Errors: the CryptoAPI ASN.1 codes.
HRESULT CreateElement(View der, CertElement** ppOut);
void ReleaseElement(CertElement* e);
// S_OK when an encoded Name is a sequence of RDNs of (OID, value) attributes.
HRESULT CheckName(View name);

// Serialized element (persisted properties, then record 32) and its inverse.
Bytes SerializeElement(const CertElement* e);
HRESULT ElementFromSerialized(View blob, CertElement** ppOut);

// Adds an element to a store and persists it; the store takes a reference.
HRESULT StoreInsert(Store* s, CertElement* e);
// Removes it from its store (and from the registry).
HRESULT StoreRemove(CertElement* e);
// Writes the element again after a property change.
HRESULT StorePersist(CertElement* e);

// Loads the certificates of a registry-backed store.
HRESULT LoadRegistryStore(Store* s);
HRESULT RegistryWrite(Store* s, CertElement* e);
HRESULT RegistryDelete(Store* s, CertElement* e);

// Certificates of a PKCS#7 SignedData (certs-only bundles included).
HRESULT ParsePkcs7Certificates(View der, std::vector<Bytes>* pOut);

// Property helpers shared by the store code and the property functions.
bool PropertyPersists(DWORD id);
} // namespace qm::crypt
