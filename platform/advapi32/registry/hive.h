// One registry hive kept in a SQLite database. Keys form a tree of rows (the root has id 1);
// names keep their case and are matched through their upper-case fold. Every change runs in
// an immediate transaction, so several processes may write the same hive at once.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "winreg.h"

namespace qm::reg
{
using KeyId = int64_t;
inline constexpr KeyId kRootKey = 1;

struct KeyRow
{
    std::u16string name;
    std::u16string className;
    int64_t mtime = 0; // FILETIME ticks
};

struct ValueRow
{
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct KeyInfo
{
    DWORD subKeys = 0, maxSubKeyLen = 0, maxClassLen = 0;
    DWORD values = 0, maxValueNameLen = 0, maxValueLen = 0;
    std::u16string className;
    int64_t mtime = 0;
};

class Hive
{
public:
    // The hive kept in `file`, shared by every handle of this process.
    static std::shared_ptr<Hive> Get(const std::filesystem::path& file);
    ~Hive();

    const std::filesystem::path& File() const { return m_file; }

    bool Exists(KeyId id);
    // Walks `parts` below `from`; ERROR_FILE_NOT_FOUND when a part is missing.
    LSTATUS Find(KeyId from, const std::vector<std::u16string>& parts, KeyId& id);
    // Opens or creates every part below `from` in one transaction.
    LSTATUS Create(KeyId from, const std::vector<std::u16string>& parts, const std::u16string& className,
                   KeyId& id, bool& created);
    // Create, then sets `values` on the key, all in the same transaction: other processes,
    // and a later one after this process is killed, find the key with every value or no key.
    LSTATUS CreateWithValues(KeyId from, const std::vector<std::u16string>& parts, const std::vector<ValueRow>& values,
                             KeyId& id, bool& created);
    // Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some).
    LSTATUS DeleteKey(KeyId id);
    // Deletes every subkey and value below `id`; the key itself too when `self`.
    LSTATUS DeleteTree(KeyId id, bool self);

    LSTATUS SetValue(KeyId id, const std::u16string& name, DWORD type, const BYTE* data, size_t size);
    LSTATUS GetValue(KeyId id, const std::u16string& name, ValueRow& value);
    LSTATUS DeleteValue(KeyId id, const std::u16string& name);

    // Subkeys in the order of their folded names; values in the order they were created.
    LSTATUS SubKeyAt(KeyId id, DWORD index, KeyRow& row);
    LSTATUS ValueAt(KeyId id, DWORD index, ValueRow& row);
    LSTATUS Info(KeyId id, KeyInfo& info);
    LSTATUS Flush();

private:
    explicit Hive(std::filesystem::path file);
    void OpenLocked();
    sqlite3_stmt* Stmt(const char* sql);
    void Exec(const char* sql);
    // Runs `body` inside BEGIN IMMEDIATE ... COMMIT, retrying while another process holds
    // the write lock. `body` returns the status; anything but ERROR_SUCCESS rolls back.
    LSTATUS Write(const std::function<LSTATUS()>& body);
    LSTATUS Fail(int rc);
    bool ExistsLocked(KeyId id);
    // The first row a query on key `id` finds (its first parameter is the key): `read` takes
    // it; with none, `missing` while the key lives and ERROR_KEY_DELETED once it is gone.
    LSTATUS FirstRow(KeyId id, const char* sql, const std::function<void(sqlite3_stmt*)>& bind,
                     const std::function<void(sqlite3_stmt*)>& read, LSTATUS missing);
    void Touch(KeyId id);
    LSTATUS CreateLocked(KeyId from, const std::vector<std::u16string>& parts, const std::u16string& className,
                         KeyId& id, bool& created);
    void SetValueLocked(KeyId id, const std::u16string& name, DWORD type, const BYTE* data, size_t size);

    std::filesystem::path m_file;
    std::recursive_mutex m_lock;
    sqlite3* m_db = nullptr;
    pid_t m_pid = 0;
    std::unordered_map<const char*, sqlite3_stmt*> m_stmts;
};

int64_t FileTimeNow();
} // namespace qm::reg
