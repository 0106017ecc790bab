// The processes of the machine's desktop session, as the machine lists them:
// HKLM\SOFTWARE\Quillmark\Machine\Processes\<process id> with "ExeFile" (REG_SZ, the
// executable's file name), "User" (REG_SZ, the account it runs as) and optionally
// "ParentProcessId" (REG_DWORD). Programs of this system that are not listed are not seen.
#pragma once

#include <string>
#include <vector>

#include "winreg.h"

namespace qm::toolhelp
{
struct SessionProcess
{
    DWORD id = 0;
    DWORD parentId = 0;
    std::u16string exeFile;
    std::u16string user;
};

// In process-id order; keys that are not a process id are passed over. No list on the
// machine is an empty session; a list that cannot be read is its registry error.
LSTATUS SessionProcesses(std::vector<SessionProcess>* processes);
} // namespace qm::toolhelp
