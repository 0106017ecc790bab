// The assistant's log file next to its program: recreated at each start, emptied when a
// full check starts, one "----" line per entry in the machine's code page.
#pragma once

#include <mutex>
#include <string>

#include "windows.h"

class CKivoLog
{
public:
    CKivoLog() = default;
    ~CKivoLog();
    CKivoLog(const CKivoLog&) = delete;
    CKivoLog& operator=(const CKivoLog&) = delete;

    // Creates the file empty (an existing one is replaced). On failure logging is off.
    bool Open(const std::u16string& strPath);
    void Close();
    bool IsLogOn() const { return m_nLogOn != 0; }

    // "----" + text + "\r\n" at the end of the file, flushed. Nothing when logging is off.
    void WriteLogText(const std::u16string& strText);
    // Length 0, when logging is on.
    void Empty();

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    int m_nLogOn = 1;
    // Workers write while the user-interface thread may empty the file.
    std::mutex m_lock;
};

// The log's path from the program's: its last three characters become "log"
// (…\QV_Assistant.exe gives …\QV_Assistant.log). The Linux build's program has no
// extension; its name is taken with the ".exe" the Windows program carries.
std::u16string BuildLogPath(const std::u16string& strModulePath);

// The local time as "%Y-%m-%d %H:%M:%S".
std::u16string FormatNowTime();
