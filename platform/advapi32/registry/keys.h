// Open key handles (HKEY) and the predefined keys: which hive and row a handle names, the
// access it was granted, and the elevation rule of the machine hive.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hive.h"

namespace qm::reg
{
struct Key
{
    std::shared_ptr<Hive> hive;
    KeyId id = kRootKey;
    REGSAM access = 0;
    bool machine = false; // HKEY_LOCAL_MACHINE's hive: writes need an elevated process
    // Names below `id` that do not exist yet: HKEY_CLASSES_ROOT before anything made its key.
    // Reads see an empty key; the first write makes it.
    std::vector<std::u16string> missing;
};

// Resolves a handle, predefined or opened; false for a handle that names nothing.
bool Resolve(HKEY handle, Key& key);
// Makes `key` name an existing row: finds its missing names, or with `create` makes them.
// ERROR_FILE_NOT_FOUND while they do not exist.
LSTATUS Settle(Key& key, bool create);
// `parts` below the key's missing names.
std::vector<std::u16string> Below(const Key& key, const std::vector<std::u16string>& parts);
// A new handle for `key` (closed with Release).
HKEY NewHandle(const Key& key);
// false for predefined and unknown handles.
bool Release(HKEY handle);

// Maps generic rights and MAXIMUM_ALLOWED onto key rights.
REGSAM Normalize(REGSAM sam, bool machine);
bool WantsWrite(REGSAM sam);
// ERROR_ACCESS_DENIED when `sam` asks to write the machine hive from a process that is not elevated.
LSTATUS CheckElevation(const Key& key, REGSAM sam);

// Splits "A\B\C" into its names; ERROR_BAD_PATHNAME for a leading backslash,
// ERROR_INVALID_PARAMETER for a name longer than Windows allows.
LSTATUS SplitPath(const WCHAR* path, std::vector<std::u16string>& parts);
std::u16string ValueName(const WCHAR* name);
} // namespace qm::reg
