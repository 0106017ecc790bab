// LookupAccountSidW names the machine's accounts, with the computer as their domain.
#include "securitybaseapi.h"
#include "session_machine.h"

namespace
{
// S-1-5-21-100-200-300-1001 in binary form.
const BYTE kAliceSid[] = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 100, 0, 0, 0, 200, 0, 0, 0, 0x2C, 1, 0, 0, 0xE9, 3, 0, 0};

class LookupAccount : public SessionMachine
{
protected:
    void SetUp() override
    {
        SessionMachine::SetUp();
        SetComputerName(u"QUILL-PC");
        AddAccount(u"Guest", u"S-1-5-21-100-200-300-501", {u"Guests"});
        AddAccount(u"alice", u"S-1-5-21-100-200-300-1001", {u"Users"});
    }
};
} // namespace

TEST_F(LookupAccount, NamesTheAccountAndTheComputer)
{
    WCHAR name[64] = {}, domain[64] = {};
    DWORD cchName = 64, cchDomain = 64;
    SID_NAME_USE use = SidTypeGroup;
    ASSERT_TRUE(LookupAccountSidW(nullptr, (PSID)kAliceSid, name, &cchName, domain, &cchDomain, &use));
    EXPECT_EQ(std::u16string(u"alice"), name);
    EXPECT_EQ(std::u16string(u"QUILL-PC"), domain);
    EXPECT_EQ(5u, cchName);
    EXPECT_EQ(8u, cchDomain);
    EXPECT_EQ(SidTypeUser, use);
    EXPECT_EQ(sizeof kAliceSid, GetLengthSid((PSID)kAliceSid));
    cchName = cchDomain = 64;
    EXPECT_TRUE(LookupAccountSidW(u"\\\\quill-pc", (PSID)kAliceSid, name, &cchName, domain, &cchDomain, &use))
        << "this computer by name";
}

TEST_F(LookupAccount, SmallBuffersReportTheSizesWithTerminator)
{
    WCHAR name[5] = {}, domain[64] = {};
    DWORD cchName = 5, cchDomain = 64;
    SID_NAME_USE use;
    EXPECT_FALSE(LookupAccountSidW(nullptr, (PSID)kAliceSid, name, &cchName, domain, &cchDomain, &use));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(6u, cchName);
    EXPECT_EQ(9u, cchDomain);
}

TEST_F(LookupAccount, UnknownAndMalformedIdentifiers)
{
    BYTE other[sizeof kAliceSid];
    std::copy(std::begin(kAliceSid), std::end(kAliceSid), other);
    other[24] = 0xEA; // ...-1002
    WCHAR name[64], domain[64];
    DWORD cchName = 64, cchDomain = 64;
    SID_NAME_USE use;
    EXPECT_FALSE(LookupAccountSidW(nullptr, other, name, &cchName, domain, &cchDomain, &use));
    EXPECT_EQ(DWORD(ERROR_NONE_MAPPED), GetLastError());

    other[0] = 2; // no such revision
    EXPECT_FALSE(IsValidSid(other));
    EXPECT_FALSE(LookupAccountSidW(nullptr, other, name, &cchName, domain, &cchDomain, &use));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(LookupAccount, AccountsThatCannotBeReadAreAnErrorNotAnUnknownIdentifier)
{
    DamageHive();
    WCHAR name[64], domain[64];
    DWORD cchName = 64, cchDomain = 64;
    SID_NAME_USE use;
    EXPECT_FALSE(LookupAccountSidW(nullptr, (PSID)kAliceSid, name, &cchName, domain, &cchDomain, &use));
    EXPECT_NE(DWORD(ERROR_NONE_MAPPED), GetLastError());
    EXPECT_NE(DWORD(ERROR_SUCCESS), GetLastError());
}
