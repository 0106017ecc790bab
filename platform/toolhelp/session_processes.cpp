#include "session_processes.h"

#include <algorithm>

#include "winbase.h"
#include "winreg.h"

namespace qm::toolhelp
{
namespace
{
std::u16string ReadText(HKEY key, LPCWSTR name)
{
    WCHAR buffer[MAX_PATH + 1] = {};
    DWORD type = 0, size = MAX_PATH * sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return buffer;
}

bool ProcessId(const std::u16string& text, DWORD* id)
{
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t value = 0;
    for (char16_t c : text)
    {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    if (value == 0 || value > 0xFFFFFFFFull)
        return false;
    *id = DWORD(value);
    return true;
}
} // namespace

LSTATUS SessionProcesses(std::vector<SessionProcess>* out)
{
    std::vector<SessionProcess> processes;
    out->clear();
    HKEY list = nullptr;
    LSTATUS error =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmark\\Machine\\Processes", 0, KEY_READ, &list);
    if (error != ERROR_SUCCESS)
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    for (DWORD index = 0;; ++index)
    {
        WCHAR name[256] = {};
        DWORD cch = 256;
        error = RegEnumKeyExW(list, index, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS)
            break;
        SessionProcess process;
        HKEY key = nullptr;
        if (!ProcessId(name, &process.id) || RegOpenKeyExW(list, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        process.exeFile = ReadText(key, u"ExeFile");
        process.user = ReadText(key, u"User");
        DWORD parent = 0, type = 0, size = sizeof parent;
        if (RegQueryValueExW(key, u"ParentProcessId", nullptr, &type, reinterpret_cast<BYTE*>(&parent), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD)
            process.parentId = parent;
        RegCloseKey(key);
        processes.push_back(std::move(process));
    }
    RegCloseKey(list);
    if (error != ERROR_NO_MORE_ITEMS)
        return error;
    std::sort(processes.begin(), processes.end(),
              [](const SessionProcess& a, const SessionProcess& b) { return a.id < b.id; });
    *out = std::move(processes);
    return ERROR_SUCCESS;
}
} // namespace qm::toolhelp
