// The logged-on user's local group, found through the desktop shell's process.
#include <cstring>

#include "CheckMachine.h"
#include "UserGroup.h"
#include "qm/machine.h"

namespace
{
class UserGroup : public CheckMachine
{
protected:
    // The machine's account `name` in `groups`, and its desktop shell running as `shellUser`.
    static void SetUpSession(const std::vector<std::u16string>& groups, const char* shellUser = "alice",
                             const char* shellExe = "Explorer.EXE")
    {
        // Only this session: not the one qmctl init sets up.
        qm::SetProcessElevated(true);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmark\\Machine\\Processes");
        qm::SetProcessElevated(false);
        SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmark\\Machine\\Users\\alice", "Sid", "S-1-5-21-7-8-9-1001");
        std::u16string list;
        for (const auto& g : groups)
            list += g + u'\0';
        list += u'\0';
        qm::SetProcessElevated(true);
        HKEY h = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmark\\Machine\\Users\\alice", 0,
                                                 nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(h, u"LocalGroups", 0, REG_MULTI_SZ,
                                                reinterpret_cast<const BYTE*>(list.data()), DWORD(list.size() * 2)));
        RegCloseKey(h);
        qm::SetProcessElevated(false);
        SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmark\\Machine\\Processes\\1200", "ExeFile", "svchost.exe");
        SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmark\\Machine\\Processes\\1200", "User", "alice");
        SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmark\\Machine\\Processes\\2140", "ExeFile", shellExe);
        SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmark\\Machine\\Processes\\2140", "User", shellUser);
    }
};
} // namespace

TEST_F(UserGroup, GroupNameAndAccountType)
{
    struct Case
    {
        std::vector<std::u16string> groups;
        const char* group;
        int type;
    } cases[] = {
        {{u"Administrators"}, "administrators", 1},
        {{u"Users", u"Administrators", u"Power Users"}, "administrators", 1},
        {{u"Users"}, "users", 2},
        {{u"Users", u"Remote Desktop Users"}, "remote desktop users", 2},
        {{u"Guests"}, "guests", 3},
        {{}, "", 2},
    };
    for (const auto& c : cases)
    {
        SetUpSession(c.groups);
        CComonCheck check;
        char group[260] = {};
        EXPECT_EQ(1, GetUserGroupName(group, &check));
        EXPECT_STREQ(c.group, group);
        EXPECT_NE(nullptr, check.m_netApi) << "NetApi32.dll stays loaded in the check object";
        EXPECT_EQ(c.type, GetUserType(&check)) << c.group;
    }
}

TEST_F(UserGroup, WithoutTheShellsUserTheLookupFailsAsGuest)
{
    struct Case
    {
        const char* name;
        const char* shellUser;
        const char* shellExe;
    } cases[] = {
        {"shell runs as an unknown account", "bob", "explorer.exe"},
        {"no desktop shell", "alice", "explorer2.exe"},
    };
    for (const auto& c : cases)
    {
        SetUpSession({u"Administrators"}, c.shellUser, c.shellExe);
        CComonCheck check;
        char group[260] = {};
        EXPECT_EQ(0, GetUserGroupName(group, &check)) << c.name;
        EXPECT_EQ(3, GetUserType(&check)) << c.name;
    }
}

TEST_F(UserGroup, WithoutNetApi32TheLookupFails)
{
    SetUpSession({u"Administrators"});
    std::filesystem::remove(m_dir / "drive_c/Windows/System32/netapi32.dll");
    CComonCheck check;
    char group[260] = {};
    EXPECT_EQ(0, GetUserGroupName(group, &check));
    EXPECT_EQ(nullptr, check.m_netApi);
}
