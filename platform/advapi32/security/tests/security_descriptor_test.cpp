// Security descriptors and their SDDL form, as Windows documents them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sddl.h"
#include "windows.h"

namespace
{
// The integrity level of a mandatory label SID S-1-16-<rid>.
DWORD LabelRid(const ACCESS_ALLOWED_ACE* ace)
{
    const auto* sid = reinterpret_cast<const SID*>(&ace->SidStart);
    EXPECT_EQ(1, sid->Revision);
    EXPECT_EQ(1, sid->SubAuthorityCount);
    EXPECT_EQ(16, sid->IdentifierAuthority.Value[5]);
    return sid->SubAuthority[0];
}

struct Converted
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    ULONG size = 0;
    ~Converted()
    {
        if (sd)
        {
            EXPECT_EQ(nullptr, LocalFree(sd));
        }
    }
};
} // namespace

TEST(SecurityDescriptor, InitializeMakesAnEmptyAbsoluteDescriptorOfRevisionOne)
{
    SECURITY_DESCRIPTOR sd;
    std::memset(&sd, 0xCC, sizeof sd);
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_EQ(1, sd.Revision);
    EXPECT_EQ(0, sd.Control);
    EXPECT_EQ(nullptr, sd.Owner);
    EXPECT_EQ(nullptr, sd.Group);
    EXPECT_EQ(nullptr, sd.Sacl);
    EXPECT_EQ(nullptr, sd.Dacl);
    EXPECT_TRUE(IsValidSecurityDescriptor(&sd));

    SetLastError(0);
    EXPECT_FALSE(InitializeSecurityDescriptor(&sd, 2));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_REVISION), GetLastError());
}

TEST(SecurityDescriptor, NullDaclIsPresentAndNotDefaulted)
{
    SECURITY_DESCRIPTOR sd;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    BOOL present = TRUE, defaulted = TRUE;
    PACL dacl = reinterpret_cast<PACL>(&sd);
    ASSERT_TRUE(GetSecurityDescriptorDacl(&sd, &present, &dacl, &defaulted));
    EXPECT_FALSE(present);
    EXPECT_EQ(reinterpret_cast<PACL>(&sd), dacl) << "not present: the list pointer is left alone";

    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE));
    EXPECT_EQ(SE_DACL_PRESENT, sd.Control);
    ASSERT_TRUE(GetSecurityDescriptorDacl(&sd, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(nullptr, dacl);
    EXPECT_FALSE(defaulted);

    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullptr, TRUE));
    EXPECT_EQ(SE_DACL_PRESENT | SE_DACL_DEFAULTED, sd.Control);
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, FALSE, nullptr, FALSE));
    EXPECT_EQ(0, sd.Control & SE_DACL_PRESENT);
}

TEST(SecurityDescriptor, SettersRefuseSelfRelativeAndUnknownRevisions)
{
    Converted c;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:", SDDL_REVISION_1, &c.sd, &c.size));
    SetLastError(0);
    EXPECT_FALSE(SetSecurityDescriptorDacl(c.sd, TRUE, nullptr, FALSE));
    EXPECT_EQ(DWORD(ERROR_INVALID_SECURITY_DESCR), GetLastError());
    EXPECT_FALSE(SetSecurityDescriptorSacl(c.sd, TRUE, nullptr, FALSE));
    EXPECT_EQ(DWORD(ERROR_INVALID_SECURITY_DESCR), GetLastError());

    SECURITY_DESCRIPTOR bad = {};
    bad.Revision = 3;
    EXPECT_FALSE(SetSecurityDescriptorSacl(&bad, TRUE, nullptr, FALSE));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_REVISION), GetLastError());
    EXPECT_FALSE(IsValidSecurityDescriptor(&bad));
    EXPECT_EQ(DWORD(ERROR_INVALID_SECURITY_DESCR), GetLastError());
}

// The low integrity label with no-write-up: the form programs use so that processes of any
// integrity level may open an object.
TEST(SecurityDescriptor, LowMandatoryLabelConvertsToOneLabelEntryInTheSacl)
{
    Converted c;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", SDDL_REVISION_1, &c.sd, &c.size));
    ASSERT_TRUE(IsValidSecurityDescriptor(c.sd));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(c.sd, &control, &revision));
    EXPECT_EQ(1u, revision);
    EXPECT_EQ(SE_SELF_RELATIVE | SE_SACL_PRESENT, control);

    BOOL present = FALSE, defaulted = TRUE;
    PACL sacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorSacl(c.sd, &present, &sacl, &defaulted));
    ASSERT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ASSERT_NE(nullptr, sacl);
    // The list lies inside the block it came in.
    EXPECT_GE(reinterpret_cast<BYTE*>(sacl), static_cast<BYTE*>(c.sd));
    EXPECT_LE(reinterpret_cast<BYTE*>(sacl) + sacl->AclSize, static_cast<BYTE*>(c.sd) + c.size);
    EXPECT_EQ(ACL_REVISION, sacl->AclRevision);
    ASSERT_EQ(1, sacl->AceCount);
    EXPECT_EQ(sizeof(ACL) + 8 + 12, sacl->AclSize);

    void* entry = nullptr;
    ASSERT_TRUE(GetAce(sacl, 0, &entry));
    auto* ace = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(entry);
    EXPECT_EQ(SYSTEM_MANDATORY_LABEL_ACE_TYPE, ace->Header.AceType);
    EXPECT_EQ(0, ace->Header.AceFlags);
    EXPECT_EQ(8 + 12, ace->Header.AceSize);
    EXPECT_EQ(DWORD(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP), ace->Mask);
    EXPECT_EQ(DWORD(SECURITY_MANDATORY_LOW_RID), LabelRid(ace));
    EXPECT_FALSE(GetAce(sacl, 1, &entry));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());

    // A converted SACL goes into an absolute descriptor as it is.
    SECURITY_DESCRIPTOR abs;
    ASSERT_TRUE(InitializeSecurityDescriptor(&abs, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&abs, TRUE, nullptr, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorSacl(&abs, TRUE, sacl, FALSE));
    EXPECT_EQ(SE_DACL_PRESENT | SE_SACL_PRESENT, abs.Control);
    EXPECT_EQ(sacl, abs.Sacl);
    EXPECT_TRUE(IsValidSecurityDescriptor(&abs));
}

TEST(SecurityDescriptor, LabelFieldsAndLevels)
{
    struct Case
    {
        const char* sddl;
        BYTE flags;
        DWORD mask;
        DWORD rid;
    } cases[] = {
        {"S:(ML;;NWNR;;;ME)", 0, 3, SECURITY_MANDATORY_MEDIUM_RID},
        {"S:(ML;OICI;NWNRNX;;;HI)", OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, 7, SECURITY_MANDATORY_HIGH_RID},
        {"S:(ML;;0x1;;;S-1-16-4096)", 0, 1, SECURITY_MANDATORY_LOW_RID},
        {"S:(ML;;NW;;;SI)", 0, 1, SECURITY_MANDATORY_SYSTEM_RID},
    };
    for (const auto& tc : cases)
    {
        SCOPED_TRACE(tc.sddl);
        Converted c;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(tc.sddl, SDDL_REVISION_1, &c.sd, nullptr));
        BOOL present = FALSE, defaulted = FALSE;
        PACL sacl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorSacl(c.sd, &present, &sacl, &defaulted));
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(sacl, 0, &entry));
        auto* ace = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(entry);
        EXPECT_EQ(tc.flags, ace->Header.AceFlags);
        EXPECT_EQ(tc.mask, ace->Mask);
        EXPECT_EQ(tc.rid, LabelRid(ace));
    }
}

TEST(SecurityDescriptor, OwnerDaclAndFlags)
{
    Converted c;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BAD:P(A;;GA;;;SY)(D;;GW;;;WD)S:(ML;;NW;;;LW)",
                                                                     SDDL_REVISION_1, &c.sd, &c.size));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(c.sd, &control, &revision));
    EXPECT_EQ(SE_SELF_RELATIVE | SE_SACL_PRESENT | SE_DACL_PRESENT | SE_DACL_PROTECTED, control);
    auto* rel = static_cast<SECURITY_DESCRIPTOR_RELATIVE*>(c.sd);
    ASSERT_NE(0u, rel->Owner);
    EXPECT_EQ(0u, rel->Group);
    auto* owner = reinterpret_cast<SID*>(static_cast<BYTE*>(c.sd) + rel->Owner);
    EXPECT_EQ(2, owner->SubAuthorityCount); // S-1-5-32-544
    EXPECT_EQ(32u, owner->SubAuthority[0]);
    EXPECT_EQ(544u, owner->SubAuthority[1]);

    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(c.sd, &present, &dacl, &defaulted));
    ASSERT_TRUE(present);
    ASSERT_EQ(2, dacl->AceCount);
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(dacl, 1, &entry));
    auto* denied = static_cast<ACCESS_DENIED_ACE*>(entry);
    EXPECT_EQ(ACCESS_DENIED_ACE_TYPE, denied->Header.AceType);
    EXPECT_EQ(0x40000000u, denied->Mask);

    // "D:" is an empty list (no one gets access), not a NULL DACL.
    Converted empty;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:", SDDL_REVISION_1, &empty.sd, nullptr));
    ASSERT_TRUE(GetSecurityDescriptorDacl(empty.sd, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    ASSERT_NE(nullptr, dacl);
    EXPECT_EQ(0, dacl->AceCount);
    Converted none;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:NO_ACCESS_CONTROL", SDDL_REVISION_1,
                                                                     &none.sd, nullptr));
    ASSERT_TRUE(GetSecurityDescriptorDacl(none.sd, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(nullptr, dacl);
}

TEST(SecurityDescriptor, ConversionErrors)
{
    struct Case
    {
        const char* sddl;
        DWORD revision;
        DWORD error;
    } cases[] = {
        {"S:(ML;;NW;;;LW)", 2, ERROR_UNKNOWN_REVISION},
        {"S:(ML;;NW;;;LW)", 0, ERROR_UNKNOWN_REVISION},
        {"S:(ML;;NW;;LW)", 1, ERROR_INVALID_PARAMETER},    // five fields
        {"S:(ML;;NW;;;LW", 1, ERROR_INVALID_PARAMETER},    // unclosed
        {"S:(XX;;NW;;;LW)", 1, ERROR_INVALID_PARAMETER},   // unknown type
        {"D:(ML;;NW;;;LW)", 1, ERROR_INVALID_PARAMETER},   // a label is no access entry
        {"S:(ML;QQ;NW;;;LW)", 1, ERROR_INVALID_PARAMETER}, // unknown entry flag
        {"S:(ML;;ZZ;;;LW)", 1, ERROR_INVALID_PARAMETER},   // unknown right
        {"S:(ML;;NW;;;S-2-16-4096)", 1, ERROR_INVALID_PARAMETER},
        {"S:(ML;;NW;;;S-1-16-x)", 1, ERROR_INVALID_PARAMETER},
        {"S:(ML;;NW;;;QQ)", 1, ERROR_INVALID_PARAMETER},
        {"S:(ML;;NW;;;DA)", 1, ERROR_NONE_MAPPED}, // a domain's account: no domain here
        {"S:(ML;;NW;;;LW)S:(ML;;NW;;;LW)", 1, ERROR_INVALID_PARAMETER},
        {"X:(ML;;NW;;;LW)", 1, ERROR_INVALID_PARAMETER},
        {"S:Q(ML;;NW;;;LW)", 1, ERROR_INVALID_PARAMETER},
    };
    for (const auto& tc : cases)
    {
        SCOPED_TRACE(tc.sddl);
        PSECURITY_DESCRIPTOR sd = reinterpret_cast<PSECURITY_DESCRIPTOR>(1);
        SetLastError(0);
        EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorA(tc.sddl, tc.revision, &sd, nullptr));
        EXPECT_EQ(tc.error, GetLastError());
    }
    PSECURITY_DESCRIPTOR sd = nullptr;
    EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorA(nullptr, 1, &sd, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", 1, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(SecurityDescriptor, WideConversionMatchesTheAnsiOne)
{
    Converted a, w;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", 1, &a.sd, &a.size));
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(u"S:(ML;;NW;;;LW)", 1, &w.sd, &w.size));
    ASSERT_EQ(a.size, w.size);
    EXPECT_EQ(0, std::memcmp(a.sd, w.sd, a.size));
}
