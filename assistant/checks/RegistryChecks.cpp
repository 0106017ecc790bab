#include "RegistryChecks.h"

#include <cstring>
#include <mutex>
#include <string>

#include "CheckText.h"
#include "SystemFolders.h"

namespace
{
const char* RootName(HKEY root, const char* previous)
{
    if (root == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT)
        return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    return previous;
}

void StripQuotes(char* data)
{
    size_t length = std::strlen(data);
    if (length && data[length - 1] == '"')
        data[--length] = 0;
    if (length && data[0] == '"')
        std::memmove(data, data + 1, length);
}

std::string ExpectedText(const RegCheckRow& row)
{
    if (row.relative == 1)
    {
        char folder[260] = {};
        ReadMiddlewarePath(folder);
        return std::string(folder) + row.expected;
    }
    if (std::strcmp(row.expected, g_fileCheckRows[0].relativePath) == 0)
    {
        char folder[260] = {};
        GetSystemFolder(folder);
        return std::string(folder) + row.expected;
    }
    return row.expected;
}
} // namespace

int CheckRegistryRows(RegCheckRow* first, int count)
{
    // The rows keep their last reading: overlapping checks take turns at them.
    static std::mutex s_rowsLock;
    std::lock_guard lock(s_rowsLock);
    if (!first || first->root == nullptr)
        return 1;
    const char* rootName = "";
    for (int i = 0; i < count; ++i)
    {
        RegCheckRow& row = first[i];
        rootName = RootName(row.root, rootName);
        HKEY key = nullptr;
        if (RegOpenKeyExA(row.root, row.keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        {
            WriteCheckLogFormat(u"打开\"%s\\%s\"失败！", rootName, row.keyPath);
            return 0;
        }
        if (row.valueName[0])
        {
            // A fresh buffer for every read: what an earlier failed row left behind must not
            // become part of this value, and the last byte stays a terminator.
            std::memset(row.readBuffer, 0, sizeof(row.readBuffer));
            DWORD size = row.valueType == REG_DWORD ? 4 : sizeof(row.readBuffer) - 1;
            LSTATUS st = RegQueryValueExA(key, row.valueName, nullptr, &row.valueType,
                                          reinterpret_cast<BYTE*>(row.readBuffer), &size);
            if (st != ERROR_SUCCESS)
            {
                RegCloseKey(key);
                WriteCheckLogFormat(u"读取键值\"%s\\%s\\%s\"失败！", rootName, row.keyPath, row.valueName);
                return 0;
            }
            StripQuotes(row.readBuffer);
        }
        if (row.compare == 1 && lstrcmpA(row.readBuffer, ExpectedText(row).c_str()) != 0)
        {
            RegCloseKey(key);
            WriteCheckLogFormat(u"比对键值\"%s\\%s\\%s\"失败！", rootName, row.keyPath, row.valueName);
            return 0;
        }
        RegCloseKey(key);
        std::memset(row.readBuffer, 0, sizeof(row.readBuffer));
    }
    return 1;
}

int CheckRootCertRows(const RootCertKey* rows, int count)
{
    if (!rows || rows->root == nullptr)
        return 1;
    for (int i = 0; i < count; ++i)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(rows[i].root, rows[i].keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return 0;
        RegCloseKey(key);
    }
    return 1;
}

int CheckRootCerts()
{
    return CheckRootCertRows(g_rootCertKeys, kRootCertKeyCount);
}
