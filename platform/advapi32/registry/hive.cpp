#include "hive.h"

#include <unistd.h>

#include <chrono>
#include <deque>
#include <map>
#include <thread>

#include "../text.h"
#include "qm/kill_point.h"

namespace qm::reg
{
namespace
{
using advapi::FromUtf8;
using advapi::ToUtf8;
using advapi::UpperCase;

// Thrown by the statement helpers; Write() and the readers turn it into a status.
struct SqlError
{
    int rc;
};

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    " fold TEXT NOT NULL, nlen INTEGER NOT NULL, class TEXT NOT NULL DEFAULT '',"
    " clen INTEGER NOT NULL DEFAULT 0, mtime INTEGER NOT NULL DEFAULT 0);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_child ON keys(parent, fold);"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL, fold TEXT NOT NULL, name TEXT NOT NULL, nlen INTEGER NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, fold));"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold, nlen) VALUES(1, 0, '', '', 0);";

void Check(int rc)
{
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw SqlError{rc};
}

void BindText(sqlite3_stmt* st, int i, const std::u16string& s)
{
    std::string u = ToUtf8(s);
    Check(sqlite3_bind_text(st, i, u.data(), int(u.size()), SQLITE_TRANSIENT));
}

void BindFold(sqlite3_stmt* st, int i, const std::u16string& s)
{
    BindText(st, i, UpperCase(s));
}

bool Step(sqlite3_stmt* st)
{
    int rc = sqlite3_step(st);
    Check(rc);
    return rc == SQLITE_ROW;
}

std::u16string ColumnText(sqlite3_stmt* st, int i)
{
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return p ? FromUtf8(std::string_view(p, size_t(sqlite3_column_bytes(st, i)))) : std::u16string();
}

LSTATUS MapError(int rc, bool writing)
{
    switch (rc & 0xFF)
    {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return ERROR_ACCESS_DENIED;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    case SQLITE_NOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ERROR_BADKEY;
    default:
        return writing ? ERROR_CANTWRITE : ERROR_CANTREAD;
    }
}

// Resets a cached statement when it goes out of use, so it holds no read lock.
struct Use
{
    sqlite3_stmt* st;
    ~Use() { sqlite3_reset(st); }
    operator sqlite3_stmt*() const { return st; }
};

template <class F>
LSTATUS Read(std::recursive_mutex& lock, F&& body)
{
    std::lock_guard guard(lock);
    for (int attempt = 0;; ++attempt)
    {
        try
        {
            return body();
        }
        catch (const SqlError& e)
        {
            if ((e.rc & 0xFF) == SQLITE_BUSY && attempt < 400)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            return MapError(e.rc, false);
        }
    }
}
} // namespace

int64_t FileTimeNow()
{
    using namespace std::chrono;
    auto ns = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return ns / 100 + 116444736000000000LL;
}

std::shared_ptr<Hive> Hive::Get(const std::filesystem::path& file)
{
    static std::mutex lock;
    static std::map<std::string, std::weak_ptr<Hive>> open;
    static std::deque<std::shared_ptr<Hive>> recent; // keeps the hives in use from closing between calls
    std::lock_guard guard(lock);
    auto& slot = open[file.string()];
    if (auto hive = slot.lock())
        return hive;
    std::shared_ptr<Hive> hive(new Hive(file));
    slot = hive;
    recent.push_back(hive);
    if (recent.size() > 4)
        recent.pop_front();
    return hive;
}

Hive::Hive(std::filesystem::path file) : m_file(std::move(file)) {}

Hive::~Hive()
{
    if (m_pid == getpid())
    {
        for (auto& [sql, st] : m_stmts)
            sqlite3_finalize(st);
        if (m_db)
            sqlite3_close_v2(m_db);
    }
}

void Hive::OpenLocked()
{
    // A child of fork() must not touch its parent's connection: it opens its own.
    m_stmts.clear();
    m_db = nullptr;
    m_pid = getpid();
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    int rc = sqlite3_open_v2(m_file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK)
    {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw SqlError{rc};
    }
    sqlite3_busy_timeout(m_db, 20000);
    sqlite3_extended_result_codes(m_db, 0);
    // A rollback journal, not WAL: a reader then needs no file of its own (WAL makes every
    // process that opens the hive create its shared-memory file), so the registry stays
    // readable on a full disk, and a write that finds no room fails as a whole. The journal
    // is emptied, not deleted, at each commit: cheaper, and it keeps no room for the next.
    for (int attempt = 0;; ++attempt)
    {
        rc = sqlite3_exec(m_db, "PRAGMA journal_mode=TRUNCATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_BUSY || attempt > 400)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Opening for a read writes nothing: the tables are made only in a new hive.
    bool ready = false;
    LSTATUS st = Read(m_lock, [&] {
        Check(sqlite3_exec(m_db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr));
        sqlite3_stmt* probe = nullptr;
        Check(sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master WHERE name = 'vals'", -1, &probe,
                                 nullptr));
        int step = sqlite3_step(probe);
        sqlite3_finalize(probe);
        Check(step);
        ready = step == SQLITE_ROW;
        return LSTATUS(ERROR_SUCCESS);
    });
    if (st == ERROR_SUCCESS && !ready)
        st = Write([&] {
            Exec(kSchema);
            return LSTATUS(ERROR_SUCCESS);
        });
    if (st != ERROR_SUCCESS)
    {
        for (auto& [sql, stmt] : m_stmts)
            sqlite3_finalize(stmt);
        m_stmts.clear();
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw SqlError{st == ERROR_DISK_FULL ? SQLITE_FULL : SQLITE_CANTOPEN};
    }
}

sqlite3_stmt* Hive::Stmt(const char* sql)
{
    if (!m_db || m_pid != getpid())
        OpenLocked();
    auto& st = m_stmts[sql];
    if (!st)
        Check(sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr));
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return st;
}

void Hive::Exec(const char* sql)
{
    Check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

LSTATUS Hive::Write(const std::function<LSTATUS()>& body)
{
    std::lock_guard guard(m_lock);
    for (int attempt = 0;; ++attempt)
    {
        bool begun = false;
        try
        {
            if (!m_db || m_pid != getpid())
                OpenLocked();
            Exec("BEGIN IMMEDIATE");
            begun = true;
            LSTATUS st = body();
            if (st != ERROR_SUCCESS)
            {
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
                return st;
            }
            Exec("COMMIT");
            return ERROR_SUCCESS;
        }
        catch (const SqlError& e)
        {
            for (auto& [sql, st] : m_stmts)
                sqlite3_reset(st);
            if (begun && !sqlite3_get_autocommit(m_db))
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            if (((e.rc & 0xFF) == SQLITE_BUSY || (e.rc & 0xFF) == SQLITE_LOCKED) && attempt < 2000)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(2 + attempt % 7));
                continue;
            }
            return MapError(e.rc, true);
        }
    }
}

bool Hive::ExistsLocked(KeyId id)
{
    Use st{Stmt("SELECT 1 FROM keys WHERE id = ?")};
    sqlite3_bind_int64(st, 1, id);
    return Step(st);
}

bool Hive::Exists(KeyId id)
{
    bool exists = false;
    LSTATUS status = Read(m_lock, [&] {
        exists = ExistsLocked(id);
        return LSTATUS(ERROR_SUCCESS);
    });
    return status == ERROR_SUCCESS && exists;
}

void Hive::Touch(KeyId id)
{
    Use st{Stmt("UPDATE keys SET mtime = ? WHERE id = ?")};
    sqlite3_bind_int64(st, 1, FileTimeNow());
    sqlite3_bind_int64(st, 2, id);
    Step(st);
}

namespace
{
// The subkey of a parent by name, without regard to case.
constexpr char kChildSql[] = "SELECT id FROM keys WHERE parent = ? AND fold = ?";

std::optional<KeyId> Child(sqlite3_stmt* st, KeyId parent, const std::u16string& name)
{
    Use use{st};
    sqlite3_bind_int64(st, 1, parent);
    BindFold(st, 2, name);
    if (Step(st))
        return sqlite3_column_int64(st, 0);
    return std::nullopt;
}
} // namespace

LSTATUS Hive::Find(KeyId from, const std::vector<std::u16string>& parts, KeyId& id)
{
    return Read(m_lock, [&]() -> LSTATUS {
        if (!ExistsLocked(from))
            return ERROR_KEY_DELETED;
        KeyId cur = from;
        for (const auto& part : parts)
        {
            auto next = Child(Stmt(kChildSql), cur, part);
            if (!next)
                return ERROR_FILE_NOT_FOUND;
            cur = *next;
        }
        id = cur;
        return ERROR_SUCCESS;
    });
}

LSTATUS Hive::CreateLocked(KeyId from, const std::vector<std::u16string>& parts, const std::u16string& className,
                           KeyId& id, bool& created)
{
    created = false;
    if (!ExistsLocked(from))
        return ERROR_KEY_DELETED;
    KeyId cur = from;
    for (const auto& part : parts)
    {
        auto next = Child(Stmt(kChildSql), cur, part);
        if (!next)
        {
            Use st{Stmt("INSERT INTO keys(parent, name, fold, nlen, class, clen, mtime) VALUES(?,?,?,?,?,?,?)")};
            sqlite3_bind_int64(st, 1, cur);
            BindText(st, 2, part);
            BindFold(st, 3, part);
            sqlite3_bind_int64(st, 4, int64_t(part.size()));
            BindText(st, 5, className);
            sqlite3_bind_int64(st, 6, int64_t(className.size()));
            sqlite3_bind_int64(st, 7, FileTimeNow());
            Step(st);
            Touch(cur);
            next = sqlite3_last_insert_rowid(m_db);
            created = true;
        }
        cur = *next;
    }
    id = cur;
    return ERROR_SUCCESS;
}

LSTATUS Hive::Create(KeyId from, const std::vector<std::u16string>& parts, const std::u16string& className,
                     KeyId& id, bool& created)
{
    return Write([&] { return CreateLocked(from, parts, className, id, created); });
}

LSTATUS Hive::CreateWithValues(KeyId from, const std::vector<std::u16string>& parts,
                               const std::vector<ValueRow>& values, KeyId& id, bool& created)
{
    return Write([&]() -> LSTATUS {
        if (LSTATUS st = CreateLocked(from, parts, u"", id, created); st != ERROR_SUCCESS)
            return st;
        if (created)
            qm::KillPoint("registry-key-created");
        for (const auto& v : values)
            SetValueLocked(id, v.name, v.type, v.data.data(), v.data.size());
        return ERROR_SUCCESS;
    });
}

LSTATUS Hive::DeleteKey(KeyId id)
{
    return Write([&]() -> LSTATUS {
        KeyId parent;
        {
            Use st{Stmt("SELECT parent FROM keys WHERE id = ?")};
            sqlite3_bind_int64(st, 1, id);
            if (!Step(st))
                return ERROR_KEY_DELETED;
            parent = sqlite3_column_int64(st, 0);
        }
        if (parent == 0)
            return ERROR_ACCESS_DENIED; // the hive's root
        {
            Use st{Stmt("SELECT 1 FROM keys WHERE parent = ? LIMIT 1")};
            sqlite3_bind_int64(st, 1, id);
            if (Step(st))
                return ERROR_ACCESS_DENIED;
        }
        {
            Use st{Stmt("DELETE FROM vals WHERE key = ?")};
            sqlite3_bind_int64(st, 1, id);
            Step(st);
        }
        {
            Use st{Stmt("DELETE FROM keys WHERE id = ?")};
            sqlite3_bind_int64(st, 1, id);
            Step(st);
        }
        Touch(parent);
        return ERROR_SUCCESS;
    });
}

LSTATUS Hive::DeleteTree(KeyId id, bool self)
{
    return Write([&]() -> LSTATUS {
        KeyId parent;
        {
            Use st{Stmt("SELECT parent FROM keys WHERE id = ?")};
            sqlite3_bind_int64(st, 1, id);
            if (!Step(st))
                return ERROR_KEY_DELETED;
            parent = sqlite3_column_int64(st, 0);
        }
        if (self && parent == 0)
            return ERROR_ACCESS_DENIED;
        {
            Use st{Stmt("WITH RECURSIVE t(id) AS (SELECT id FROM keys WHERE parent = ?1"
                        " UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent = t.id)"
                        " DELETE FROM vals WHERE key IN (SELECT id FROM t) OR (?2 AND key = ?1)")};
            sqlite3_bind_int64(st, 1, id);
            sqlite3_bind_int(st, 2, self ? 1 : 0);
            Step(st);
        }
        if (!self)
        {
            Use st{Stmt("DELETE FROM vals WHERE key = ?")};
            sqlite3_bind_int64(st, 1, id);
            Step(st);
        }
        {
            Use st{Stmt("WITH RECURSIVE t(id) AS (SELECT id FROM keys WHERE parent = ?1"
                        " UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent = t.id)"
                        " DELETE FROM keys WHERE id IN (SELECT id FROM t) OR (?2 AND id = ?1)")};
            sqlite3_bind_int64(st, 1, id);
            sqlite3_bind_int(st, 2, self ? 1 : 0);
            Step(st);
        }
        Touch(self ? parent : id);
        return ERROR_SUCCESS;
    });
}

void Hive::SetValueLocked(KeyId id, const std::u16string& name, DWORD type, const BYTE* data, size_t size)
{
    // An existing value keeps its place in the enumeration and the case of its name.
    Use st{Stmt("INSERT INTO vals(key, fold, name, nlen, type, data) VALUES(?,?,?,?,?,?)"
                " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data")};
    sqlite3_bind_int64(st, 1, id);
    BindFold(st, 2, name);
    BindText(st, 3, name);
    sqlite3_bind_int64(st, 4, int64_t(name.size()));
    sqlite3_bind_int64(st, 5, type);
    sqlite3_bind_blob64(st, 6, size ? data : reinterpret_cast<const BYTE*>(""), size, SQLITE_STATIC);
    Step(st);
    Touch(id);
}

LSTATUS Hive::SetValue(KeyId id, const std::u16string& name, DWORD type, const BYTE* data, size_t size)
{
    return Write([&]() -> LSTATUS {
        if (!ExistsLocked(id))
            return ERROR_KEY_DELETED;
        SetValueLocked(id, name, type, data, size);
        return ERROR_SUCCESS;
    });
}

namespace
{
void ReadValue(sqlite3_stmt* st, ValueRow& row)
{
    row.name = ColumnText(st, 0);
    row.type = DWORD(sqlite3_column_int64(st, 1));
    auto* p = static_cast<const BYTE*>(sqlite3_column_blob(st, 2));
    row.data.assign(p, p + sqlite3_column_bytes(st, 2));
}
} // namespace

LSTATUS Hive::FirstRow(KeyId id, const char* sql, const std::function<void(sqlite3_stmt*)>& bind,
                       const std::function<void(sqlite3_stmt*)>& read, LSTATUS missing)
{
    return Read(m_lock, [&]() -> LSTATUS {
        Use st{Stmt(sql)};
        sqlite3_bind_int64(st, 1, id);
        bind(st);
        if (!Step(st))
            return ExistsLocked(id) ? missing : ERROR_KEY_DELETED;
        read(st);
        return ERROR_SUCCESS;
    });
}

LSTATUS Hive::GetValue(KeyId id, const std::u16string& name, ValueRow& value)
{
    return FirstRow(
        id, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?",
        [&](sqlite3_stmt* st) { BindFold(st, 2, name); },
        [&](sqlite3_stmt* st) { ReadValue(st, value); }, ERROR_FILE_NOT_FOUND);
}

LSTATUS Hive::DeleteValue(KeyId id, const std::u16string& name)
{
    return Write([&]() -> LSTATUS {
        if (!ExistsLocked(id))
            return ERROR_KEY_DELETED;
        Use st{Stmt("DELETE FROM vals WHERE key = ? AND fold = ?")};
        sqlite3_bind_int64(st, 1, id);
        BindFold(st, 2, name);
        Step(st);
        if (sqlite3_changes(m_db) == 0)
            return ERROR_FILE_NOT_FOUND;
        Touch(id);
        return ERROR_SUCCESS;
    });
}

LSTATUS Hive::SubKeyAt(KeyId id, DWORD index, KeyRow& row)
{
    return FirstRow(
        id, "SELECT name, class, mtime FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?",
        [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 2, index); },
        [&](sqlite3_stmt* st) {
            row.name = ColumnText(st, 0);
            row.className = ColumnText(st, 1);
            row.mtime = sqlite3_column_int64(st, 2);
        },
        ERROR_NO_MORE_ITEMS);
}

LSTATUS Hive::ValueAt(KeyId id, DWORD index, ValueRow& row)
{
    return FirstRow(
        id, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY rowid LIMIT 1 OFFSET ?",
        [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 2, index); },
        [&](sqlite3_stmt* st) { ReadValue(st, row); }, ERROR_NO_MORE_ITEMS);
}

LSTATUS Hive::Info(KeyId id, KeyInfo& info)
{
    return Read(m_lock, [&]() -> LSTATUS {
        if (!m_db || m_pid != getpid())
            OpenLocked();
        Exec("BEGIN"); // one snapshot for the three queries
        struct End
        {
            Hive* h;
            ~End() { sqlite3_exec(h->m_db, "COMMIT", nullptr, nullptr, nullptr); }
        } end{this};
        {
            Use st{Stmt("SELECT class, mtime FROM keys WHERE id = ?")};
            sqlite3_bind_int64(st, 1, id);
            if (!Step(st))
                return ERROR_KEY_DELETED;
            info.className = ColumnText(st, 0);
            info.mtime = sqlite3_column_int64(st, 1);
        }
        {
            Use st{Stmt("SELECT COUNT(*), COALESCE(MAX(nlen), 0), COALESCE(MAX(clen), 0) FROM keys WHERE parent = ?")};
            sqlite3_bind_int64(st, 1, id);
            Step(st);
            info.subKeys = DWORD(sqlite3_column_int64(st, 0));
            info.maxSubKeyLen = DWORD(sqlite3_column_int64(st, 1));
            info.maxClassLen = DWORD(sqlite3_column_int64(st, 2));
        }
        {
            Use st{Stmt("SELECT COUNT(*), COALESCE(MAX(nlen), 0), COALESCE(MAX(length(data)), 0) FROM vals WHERE key = ?")};
            sqlite3_bind_int64(st, 1, id);
            Step(st);
            info.values = DWORD(sqlite3_column_int64(st, 0));
            info.maxValueNameLen = DWORD(sqlite3_column_int64(st, 1));
            info.maxValueLen = DWORD(sqlite3_column_int64(st, 2));
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS Hive::Flush()
{
    return Read(m_lock, [&]() -> LSTATUS {
        if (!m_db || m_pid != getpid())
            OpenLocked();
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        return ERROR_SUCCESS;
    });
}
} // namespace qm::reg
