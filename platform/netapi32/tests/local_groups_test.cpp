// NetUserGetLocalGroups lists an account's local groups in one freeable block.
#include "lm.h"
#include "session_machine.h"

namespace
{
class LocalGroups : public SessionMachine
{
protected:
    void SetUp() override
    {
        SessionMachine::SetUp();
        SetComputerName(u"QUILL-PC");
        AddAccount(u"alice", u"S-1-5-21-1-2-3-1001", {u"Users", u"Administrators", u"Remote Desktop Users"});
        AddAccount(u"nobody", u"S-1-5-21-1-2-3-1002", {});
    }

    static std::vector<std::u16string> Names(LPBYTE buffer, DWORD count)
    {
        std::vector<std::u16string> names;
        auto* entries = reinterpret_cast<LOCALGROUP_USERS_INFO_0*>(buffer);
        for (DWORD i = 0; i < count; ++i)
            names.push_back(entries[i].lgrui0_name);
        return names;
    }
};
} // namespace

TEST_F(LocalGroups, ListsTheGroupsInOrder)
{
    struct Case
    {
        const char16_t* server;
        const char16_t* user;
    } cases[] = {{nullptr, u"alice"}, {u"", u"ALICE"}, {u"\\\\QUILL-PC", u"alice"}, {nullptr, u"quill-pc\\alice"}};
    for (const auto& c : cases)
    {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        ASSERT_EQ(DWORD(NERR_Success), NetUserGetLocalGroups(c.server, c.user, 0, LG_INCLUDE_INDIRECT, &buffer,
                                                             MAX_PREFERRED_LENGTH, &read, &total));
        EXPECT_EQ(3u, read);
        EXPECT_EQ(3u, total);
        EXPECT_EQ((std::vector<std::u16string>{u"Users", u"Administrators", u"Remote Desktop Users"}),
                  Names(buffer, read));
        EXPECT_EQ(DWORD(NERR_Success), NetApiBufferFree(buffer));
    }
}

TEST_F(LocalGroups, NoGroupsStillGivesABuffer)
{
    LPBYTE buffer = nullptr;
    DWORD read = 7, total = 7;
    ASSERT_EQ(DWORD(NERR_Success),
              NetUserGetLocalGroups(nullptr, u"nobody", 0, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total));
    EXPECT_EQ(0u, read);
    EXPECT_EQ(0u, total);
    EXPECT_NE(nullptr, buffer);
    NetApiBufferFree(buffer);
}

TEST_F(LocalGroups, Failures)
{
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    EXPECT_EQ(DWORD(NERR_UserNotFound),
              NetUserGetLocalGroups(nullptr, u"bob", 0, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(DWORD(NERR_UserNotFound),
              NetUserGetLocalGroups(nullptr, u"OTHER-PC\\alice", 0, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL),
              NetUserGetLocalGroups(nullptr, u"alice", 1, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total));
    EXPECT_EQ(DWORD(NERR_InvalidComputer),
              NetUserGetLocalGroups(u"\\\\OTHER-PC", u"alice", 0, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total));
}

TEST_F(LocalGroups, ALimitedBufferReturnsTheEntriesThatFit)
{
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    // One entry with "Users" and its terminator.
    const DWORD limit = DWORD(sizeof(LOCALGROUP_USERS_INFO_0) + 6 * sizeof(WCHAR));
    ASSERT_EQ(DWORD(ERROR_MORE_DATA), NetUserGetLocalGroups(nullptr, u"alice", 0, 0, &buffer, limit, &read, &total));
    EXPECT_EQ(1u, read);
    EXPECT_EQ(3u, total);
    EXPECT_EQ(std::vector<std::u16string>{u"Users"}, Names(buffer, read));
    NetApiBufferFree(buffer);
}

TEST_F(LocalGroups, AccountsThatCannotBeReadAreAnErrorNotAnUnknownUser)
{
    DamageHive();
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    const DWORD status = NetUserGetLocalGroups(nullptr, u"alice", 0, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total);
    EXPECT_NE(DWORD(NERR_Success), status);
    EXPECT_NE(DWORD(NERR_UserNotFound), status);
    EXPECT_EQ(nullptr, buffer);
}
