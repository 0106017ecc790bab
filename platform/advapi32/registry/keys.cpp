#include "keys.h"

#include <mutex>
#include <unordered_map>

#include "../text.h"
#include "qm/machine.h"

namespace qm::reg
{
namespace
{
std::mutex g_lock;
std::unordered_map<HKEY, Key> g_handles;
ULONG_PTR g_next = 0x1000; // opened handles are small numbers, like Windows' handle values

std::shared_ptr<Hive> MachineHive()
{
    return Hive::Get(qm::MachineDirectory() / "registry" / "HKLM.db");
}

std::shared_ptr<Hive> UserHive()
{
    return Hive::Get(qm::MachineDirectory() / "registry" / "HKCU.db");
}

REGSAM PredefinedAccess(bool machine)
{
    return machine && !qm::IsProcessElevated() ? REGSAM(KEY_READ) : REGSAM(KEY_ALL_ACCESS);
}
} // namespace

bool Resolve(HKEY handle, Key& key)
{
    if (handle == HKEY_LOCAL_MACHINE || handle == HKEY_CLASSES_ROOT)
    {
        key.hive = MachineHive();
        key.machine = true;
        key.access = PredefinedAccess(true);
        key.id = kRootKey;
        key.missing.clear();
        if (handle == HKEY_CLASSES_ROOT)
        {
            // The classes root always exists on Windows; here the first write makes it,
            // never a read.
            std::vector<std::u16string> classes{u"SOFTWARE", u"Classes"};
            if (key.hive->Find(kRootKey, classes, key.id) != ERROR_SUCCESS)
            {
                key.id = kRootKey;
                key.missing = std::move(classes);
            }
        }
        return true;
    }
    if (handle == HKEY_CURRENT_USER)
    {
        key.hive = UserHive();
        key.machine = false;
        key.access = PredefinedAccess(false);
        key.id = kRootKey;
        key.missing.clear();
        return true;
    }
    std::lock_guard guard(g_lock);
    auto it = g_handles.find(handle);
    if (it == g_handles.end())
        return false;
    key = it->second;
    return true;
}

LSTATUS Settle(Key& key, bool create)
{
    if (key.missing.empty())
        return ERROR_SUCCESS;
    KeyId id;
    LSTATUS st = key.hive->Find(key.id, key.missing, id);
    if (st == ERROR_FILE_NOT_FOUND && create)
    {
        bool created = false;
        st = key.hive->Create(key.id, key.missing, u"", id, created);
    }
    if (st != ERROR_SUCCESS)
        return st;
    key.id = id;
    key.missing.clear();
    return ERROR_SUCCESS;
}

std::vector<std::u16string> Below(const Key& key, const std::vector<std::u16string>& parts)
{
    std::vector<std::u16string> all = key.missing;
    all.insert(all.end(), parts.begin(), parts.end());
    return all;
}

HKEY NewHandle(const Key& key)
{
    std::lock_guard guard(g_lock);
    HKEY handle = reinterpret_cast<HKEY>(g_next);
    g_next += 4;
    g_handles.emplace(handle, key);
    return handle;
}

bool Release(HKEY handle)
{
    std::lock_guard guard(g_lock);
    return g_handles.erase(handle) == 1;
}

REGSAM Normalize(REGSAM sam, bool machine)
{
    sam &= ~REGSAM(KEY_WOW64_RES);
    if (sam & GENERIC_READ)
        sam = (sam & ~REGSAM(GENERIC_READ)) | KEY_READ;
    if (sam & GENERIC_WRITE)
        sam = (sam & ~REGSAM(GENERIC_WRITE)) | KEY_WRITE;
    if (sam & GENERIC_EXECUTE)
        sam = (sam & ~REGSAM(GENERIC_EXECUTE)) | KEY_EXECUTE;
    if (sam & GENERIC_ALL)
        sam = (sam & ~REGSAM(GENERIC_ALL)) | KEY_ALL_ACCESS;
    if (sam & MAXIMUM_ALLOWED)
        sam = (sam & ~REGSAM(MAXIMUM_ALLOWED)) | PredefinedAccess(machine);
    return sam;
}

bool WantsWrite(REGSAM sam)
{
    return (sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER)) != 0;
}

LSTATUS CheckElevation(const Key& key, REGSAM sam)
{
    if (key.machine && WantsWrite(sam) && !qm::IsProcessElevated())
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LSTATUS SplitPath(const WCHAR* path, std::vector<std::u16string>& parts)
{
    parts.clear();
    if (!path || !*path)
        return ERROR_SUCCESS;
    if (*path == u'\\')
        return ERROR_BAD_PATHNAME;
    std::u16string part;
    auto flush = [&]() -> LSTATUS {
        if (part.size() > QM_REG_MAX_KEY_NAME)
            return ERROR_INVALID_PARAMETER;
        if (!part.empty())
            parts.push_back(std::move(part));
        part.clear();
        return ERROR_SUCCESS;
    };
    for (const WCHAR* p = path; *p; ++p)
    {
        if (*p == u'\\')
        {
            if (LSTATUS st = flush(); st != ERROR_SUCCESS)
                return st;
        }
        else
            part += *p;
    }
    return flush();
}

std::u16string ValueName(const WCHAR* name)
{
    return name ? std::u16string(name, advapi::Length16(name)) : std::u16string();
}
} // namespace qm::reg
