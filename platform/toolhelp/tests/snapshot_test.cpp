// The session's processes through a snapshot, and the user behind a process's token.
#include <cstring>

#include "securitybaseapi.h"
#include "session_machine.h"
#include "tlhelp32.h"

namespace
{
class Snapshot : public SessionMachine
{
protected:
    void SetUp() override
    {
        SessionMachine::SetUp();
        AddAccount(u"alice", u"S-1-5-21-100-200-300-1001", {u"Users"});
        AddProcess(2140, u"explorer.exe", u"alice");
        AddProcess(388, u"winlogon.exe", u"SYSTEM");
        AddProcess(3012, u"QV_Assistant.exe", u"alice");
    }

    static std::vector<std::pair<DWORD, std::u16string>> Walk(HANDLE snapshot)
    {
        std::vector<std::pair<DWORD, std::u16string>> seen;
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            seen.emplace_back(entry.th32ProcessID, entry.szExeFile);
        return seen;
    }
};
} // namespace

TEST_F(Snapshot, ListsTheSessionInProcessIdOrder)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, snapshot);
    std::vector<std::pair<DWORD, std::u16string>> expected = {
        {388, u"winlogon.exe"}, {2140, u"explorer.exe"}, {3012, u"QV_Assistant.exe"}};
    EXPECT_EQ(expected, Walk(snapshot));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());
    EXPECT_EQ(expected, Walk(snapshot)) << "Process32FirstW starts over";

    PROCESSENTRY32W small = {};
    small.dwSize = 8;
    EXPECT_FALSE(Process32FirstW(snapshot, &small));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_TRUE(CloseHandle(snapshot));

    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateToolhelp32Snapshot(0x8 /* modules */, 0));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(Snapshot, AnEmptySessionHasNoFirstProcess)
{
    qm::SetMachineDirectory(m_dir / "other");
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, snapshot);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());
    CloseHandle(snapshot);
}

TEST_F(Snapshot, TheTokenNamesTheProcessesUser)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 2140);
    ASSERT_NE(nullptr, process);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(process, TOKEN_QUERY, &token));

    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_EQ(sizeof(TOKEN_USER) + 28, needed);
    std::vector<BYTE> info(needed);
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, info.data(), needed, &needed));
    PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    ASSERT_TRUE(IsValidSid(sid));

    WCHAR name[64] = {}, domain[64] = {};
    DWORD cchName = 64, cchDomain = 64;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountSidW(nullptr, sid, name, &cchName, domain, &cchDomain, &use));
    EXPECT_EQ(std::u16string(u"alice"), name);
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, info.data(), needed, &needed));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_TRUE(CloseHandle(process));
}

TEST_F(Snapshot, ProcessesThatCannotBeOpenedOrLookedInto)
{
    EXPECT_EQ(nullptr, OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 9999));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());

    // winlogon runs as an account this machine does not list.
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 388);
    ASSERT_NE(nullptr, process);
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(process, TOKEN_QUERY, &token));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(process);

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_FALSE(OpenProcessToken(snapshot, TOKEN_QUERY, &token)) << "a snapshot is no process";
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    CloseHandle(snapshot);
}

// A session whose list cannot be read fails the snapshot, not lists fewer processes.
TEST_F(Snapshot, ASessionThatCannotBeReadIsAnErrorNotAShortList)
{
    DamageHive();
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    const DWORD error = GetLastError();
    EXPECT_NE(DWORD(ERROR_SUCCESS), error);
    EXPECT_NE(DWORD(ERROR_NO_MORE_FILES), error);
    EXPECT_EQ(nullptr, OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 2140));
    EXPECT_EQ(error, GetLastError()) << "the read error, not \"no such process\"";
}
