// Version code, names, middleware version and browser version from the machine's facts.
#include "CheckMachine.h"
#include "MiddlewareVersion.h"
#include "OSVersion.h"
#include "SystemInfoChecks.h"
#include "UserGroup.h"
#include "qm/machine.h"

namespace
{
class TestOSVersion : public OSVersion
{
public:
    TestOSVersion(DWORD platform, DWORD major, DWORD minor, BYTE productType, WORD suite, const char16_t* sp)
        : OSVersion(NoQuery{})
    {
        info.dwPlatformId = platform;
        info.dwMajorVersion = major;
        info.dwMinorVersion = minor;
        info.dwBuildNumber = 1234;
        info.wProductType = productType;
        info.wSuiteMask = suite;
        for (int i = 0; sp[i]; ++i)
            info.szCSDVersion[i] = sp[i];
        extended = 1;
        valid = true;
        Classify();
    }
};

class SystemChecks : public CheckMachine
{
};
} // namespace

TEST_F(SystemChecks, VersionCodesAndNamesFollowTheRecord)
{
    struct Case
    {
        DWORD platform, major, minor;
        BYTE type;
        WORD suite;
        const char16_t* sp;
        int code;
        const char* name;
    } cases[] = {
        {3, 6, 1, 1, 0, u"", 0, "Unknown"},
        {0, 3, 1, 1, 0, u"", 1, "Microsoft Win32s"},
        {2, 4, 0, 1, 0, u"", 2, "Microsoft Windows NT Professional"},
        {1, 4, 0, 1, 0, u" C", 4, "Microsoft Windows 95 OSR2"},
        {1, 4, 10, 1, 0, u" A", 6, "Microsoft Windows 98 SE"},
        {1, 4, 90, 1, 0, u"", 7, "Microsoft Windows Me"},
        {2, 5, 1, 1, 0x200, u"Service Pack 3", 9, "Microsoft Windows XP Personal"},
        {2, 5, 2, 3, 0x80, u"", 10, "Microsoft Windows Server 2003 DataCenter Server"},
        {2, 6, 1, 1, 0, u"", 12, "Microsoft Windows seven Professional"},
        {2, 6, 2, 2, 0, u"", 13, "Microsoft Windows eight"},
        {2, 6, 3, 1, 0, u"", 12, "Unknown Windows version, but above Windows 7 Professional"},
        {2, 10, 0, 3, 0x02, u"", 12, "Unknown Windows version, but above Windows 7 Advanced Server"},
    };
    for (const auto& c : cases)
    {
        TestOSVersion v(c.platform, c.major, c.minor, c.type, c.suite, c.sp);
        EXPECT_EQ(c.code, v.code) << c.name;
        EXPECT_EQ(c.name, v.name);
    }
    TestOSVersion xp(2, 5, 1, 1, 0, u"Service Pack 3");
    EXPECT_EQ("Version 5.1 Service Pack 3 (Build 1234)", xp.versionText);
    TestOSVersion me(1, 4, 90, 1, 0, u"x");
    EXPECT_EQ("Version 4.90 Build 1234 x", me.versionText);
}

TEST_F(SystemChecks, VistaEditionComesFromTheMachine)
{
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "EditionID", "HomePremium");
    TestOSVersion vista(2, 6, 0, 1, 0, u"");
    EXPECT_EQ(11, vista.code);
    EXPECT_EQ("Microsoft Windows Vista Home Premium", vista.name);
    EXPECT_TRUE(IsVistaOrLater(vista));
}

TEST_F(SystemChecks, DisplayTextOfWindows7And81)
{
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "EditionID", "Ultimate");
    SetText(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
            "PROCESSOR_ARCHITECTURE", "AMD64");
    char buffer[260] = {};
    ASSERT_EQ(1, GetOSDisplayString(buffer));
    EXPECT_STREQ("Microsoft Windows 7 Ultimate Edition, 64-bit Service Pack 1 (build 7601)", buffer);

    SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentMajorVersionNumber", 6);
    SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentMinorVersionNumber", 3);
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuildNumber", "9600");
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CSDVersion", "");
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "EditionID", "Professional");
    char buffer2[260] = {};
    ASSERT_EQ(1, GetOSDisplayString(buffer2));
    EXPECT_STREQ("Microsoft Professional, 64-bit (build 9600)", buffer2);
    EXPECT_EQ(12, OSVersion().code);
    EXPECT_FALSE(IsWindows10());
}

TEST_F(SystemChecks, FreshMachineReadsAsWindows7ProfessionalWithAnAdministrator)
{
    char display[260] = {};
    ASSERT_EQ(1, GetOSDisplayString(display));
    EXPECT_STREQ("Microsoft Windows 7 Professional, 32-bit Service Pack 1 (build 7601)", display);
    EXPECT_EQ("Microsoft Windows 7 Professional, 32-bit Service Pack 1 (build 7601)", GetOSDescription());
    OSVersion version;
    EXPECT_EQ(12, version.code);
    EXPECT_EQ("Microsoft Windows seven Professional", version.name);
    EXPECT_EQ("IE 8.0.7601.17514", GetIEVersion());
    CComonCheck check;
    char group[260] = {};
    EXPECT_EQ(1, GetUserGroupName(group, &check));
    EXPECT_STREQ("administrators", group);
    EXPECT_EQ(1, GetUserType(&check)) << "the logged-on user is an administrator";
}

TEST_F(SystemChecks, BrowserVersionPrefersSvcVersion)
{
    qm::SetProcessElevated(true);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Internet Explorer"));
    qm::SetProcessElevated(false);
    EXPECT_EQ("unknown", GetIEVersion());
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", "Version", "9.11.9600.18666");
    EXPECT_EQ("IE 9.11.9600.18666", GetIEVersion());
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", "svcVersion", "11.0.9600.18666");
    EXPECT_EQ("IE 11.0.9600.18666", GetIEVersion());
}

TEST_F(SystemChecks, MiddlewareVersionIsNormalisedAndCompared)
{
    struct Case
    {
        const char* installed;
        const char* normalised;
        int result;
    } cases[] = {
        {"1.0.18.601", "10180601", 1}, {"1.0.18.0601", "10180601", 1}, {"1.0.1.601", "10010601", 0},
        {"1.0", "10000000", 0},        {"1.0.1234.5", "10.1234.5", 0}, {"1.0.20.528", "10200528", 1},
    };
    const char* key = "Software\\Ostrel\\Ravo5150_Pellix";
    for (const auto& c : cases)
    {
        SetText(HKEY_LOCAL_MACHINE, key, "Version", c.installed);
        char buffer[260] = {};
        EXPECT_EQ(c.result, ReadMiddlewareVersion(buffer, key, "10180601")) << c.installed;
        EXPECT_STREQ(c.normalised, buffer) << c.installed;
    }
    char untouched[260] = "keep";
    EXPECT_EQ(0, ReadMiddlewareVersion(untouched, "Software\\Nobody", "10180601"));
    EXPECT_STREQ("keep", untouched);
    EXPECT_EQ(0, CompareVersionHex(nullptr, "10"));
    EXPECT_EQ(1, CompareVersionHex("10", nullptr));
    EXPECT_EQ(1, CompareVersionHex("10180601", "10180601"));
}
