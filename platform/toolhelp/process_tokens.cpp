// OpenProcess for the session's processes, their tokens and the token's user.
#include <cstring>

#include "kernel_objects.h"
#include "machine_accounts.h"
#include "securitybaseapi.h"
#include "session_processes.h"
#include "synchapi.h"
#include "winbase.h"

namespace
{
class SessionProcessObject : public qm::kernel32::KernelObject
{
public:
    explicit SessionProcessObject(qm::toolhelp::SessionProcess process) : m_process(std::move(process)) {}
    // The session's processes keep running while this program looks at them.
    DWORD Wait(DWORD) override { return WAIT_TIMEOUT; }
    const qm::toolhelp::SessionProcess m_process;
};

class Token : public qm::kernel32::KernelObject
{
public:
    explicit Token(std::vector<BYTE> sid) : m_sid(std::move(sid)) {}
    DWORD Wait(DWORD) override { return WAIT_FAILED; }
    const std::vector<BYTE> m_sid;
};
} // namespace

QMAPI HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD dwProcessId)
{
    std::vector<qm::toolhelp::SessionProcess> processes;
    if (LSTATUS error = qm::toolhelp::SessionProcesses(&processes))
    {
        SetLastError(DWORD(error));
        return nullptr;
    }
    for (auto& process : processes)
        if (process.id == dwProcessId)
            return qm::kernel32::AddObject(std::make_shared<SessionProcessObject>(std::move(process)));
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

QMAPI BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD, PHANDLE TokenHandle)
{
    auto process = std::dynamic_pointer_cast<SessionProcessObject>(qm::kernel32::FindObject(ProcessHandle));
    if (!process || !TokenHandle)
    {
        SetLastError(process ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // A process whose account this machine does not know is not ours to look into.
    std::optional<qm::accounts::Account> account;
    if (LSTATUS error = qm::accounts::AccountNamed(process->m_process.user, &account))
    {
        SetLastError(DWORD(error));
        return FALSE;
    }
    if (!account || account->sid.empty())
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *TokenHandle = qm::kernel32::AddObject(std::make_shared<Token>(account->sid));
    return TRUE;
}

QMAPI BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                      LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength)
{
    auto token = std::dynamic_pointer_cast<Token>(qm::kernel32::FindObject(TokenHandle));
    if (!token)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (TokenInformationClass != TokenUser || !ReturnLength)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The identifier follows the structure in the caller's buffer, as Windows lays it out.
    const DWORD needed = DWORD(sizeof(TOKEN_USER) + token->m_sid.size());
    *ReturnLength = needed;
    if (!TokenInformation || TokenInformationLength < needed)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* user = static_cast<TOKEN_USER*>(TokenInformation);
    BYTE* sid = static_cast<BYTE*>(TokenInformation) + sizeof(TOKEN_USER);
    std::memcpy(sid, token->m_sid.data(), token->m_sid.size());
    user->User.Sid = sid;
    user->User.Attributes = 0;
    return TRUE;
}
