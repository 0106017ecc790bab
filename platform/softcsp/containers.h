// Key containers of the software providers, one file each in the user's folder of the
// machine (or the machine's own folder for CRYPT_MACHINE_KEYSET). Changes are made under a
// lock file and land by rename, so several processes can share one machine.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kit/kit.h"

namespace qm::softcsp
{
struct StoredKey
{
    DWORD spec = 0;
    DWORD flags = 0;    // CRYPT_EXPORTABLE ...
    cspkit::Bytes blob; // PRIVATEKEYBLOB
};

class CContainerStore
{
  public:
    explicit CContainerStore(bool machineKeys);
    // ERROR_INVALID_NAME when the user's name cannot name a folder of the machine; every
    // operation then fails with it (or finds nothing).
    DWORD Error() const { return m_error; }
    bool Exists(const std::string& name) const;
    DWORD Create(const std::string& name);                       // NTE_EXISTS when it is there
    DWORD Delete(const std::string& name);                       // NTE_BAD_KEYSET when it is not
    DWORD PutKey(const std::string& name, const StoredKey& key); // NTE_BAD_KEYSET when gone
    // The changes fail with ERROR_DISK_FULL when the disk has no room, and change nothing.
    std::optional<StoredKey> GetKey(const std::string& name, DWORD spec) const;
    // No folder yet is no containers; a folder that cannot be read is its error.
    DWORD List(std::vector<std::string>* names) const;

  private:
    std::filesystem::path FileOf(const std::string& name) const;
    std::filesystem::path m_dir;
    DWORD m_error = 0;
};

std::string DefaultContainerName();
// A name that can be one folder: not empty, not "." or "..", without path separators.
bool IsFolderName(const std::string& name);
} // namespace qm::softcsp
