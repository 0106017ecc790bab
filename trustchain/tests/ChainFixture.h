// A temporary machine for the installer, made by qmctl init: elevated by default, COM
// initialised, the installer's traces captured; and readers of what the installer writes
// (the root store's registry keys, the "CA" and "ROOT" stores).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include <qm/trace_capture.h>

typedef std::vector<BYTE> Bytes;

// One certificate of the committed chain data (chains-manifest.txt).
struct ChainEntry
{
    std::string strDocument; // "rsa-operational", ...
    bool bRoot;
    std::string strThumbprint;
    bool bExpired;
    std::string strSubject;
};

class ChainMachineTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Files of trustchain/data.
    static std::string ReadDataFile(const std::string& strName);
    static Bytes ReadDataBytes(const std::string& strName);
    static Bytes PemFileToDer(const std::string& strName);
    static std::vector<ChainEntry> Manifest(const std::string& strDocument);

    static std::string Thumbprint(const Bytes& der);
    static std::u16string Wide(const std::string& str);

    // Thumbprints of the certificates in a system store, read-only.
    static std::set<std::string> StoreThumbprints(DWORD dwLocation, const char16_t* pwszStore);
    // Subkeys of HKLM\...\ROOT\Certificates (the machine's trusted roots).
    static std::set<std::string> RootRegistryKeys();
    static Bytes RootRegistryBlob(const std::string& strThumbprint);

    // Empties the machine's "CA" store and its root store in the registry; their keys stay.
    static void EmptyMachineStores();

    // Plants a certificate as an earlier installation would have.
    static void AddToStore(DWORD dwLocation, const char16_t* pwszStore, const Bytes& der);
    static void WriteRootKey(HKEY hHive, const Bytes& der);

    // Every key and value under both hives' SystemCertificates keys.
    static std::map<std::string, Bytes> DumpCertificateKeys();

    // The (label, HRESULT) of every result event captured so far.
    std::vector<std::pair<std::u16string, uint32_t>> Results() const;
    // Results whose label contains the text.
    std::vector<uint32_t> ResultsOf(const std::u16string& wstrLabelPart) const;

    std::filesystem::path m_machine;
    std::unique_ptr<qm::test::TraceCapture> m_capture;
};
