// Registry rows, file rows with MD5 digests, and certificate-store keys.
#include "CheckMachine.h"
#include "CheckText.h"
#include "FileChecks.h"
#include "FileSearch.h"
#include "RegistryChecks.h"
#include "TokenService.h"
#include "synchapi.h"

#include <algorithm>

namespace
{
class TableChecks : public CheckMachine
{
};

RegCheckRow Row(HKEY root, const char* key, DWORD type, const char* name, const char* expected, bool compare)
{
    RegCheckRow row = {};
    row.root = root;
    std::snprintf(row.keyPath, sizeof row.keyPath, "%s", key);
    row.valueType = type;
    std::snprintf(row.valueName, sizeof row.valueName, "%s", name);
    std::snprintf(row.expected, sizeof row.expected, "%s", expected);
    row.compare = compare ? 1 : 0;
    return row;
}
} // namespace

TEST_F(TableChecks, RegistryRowsCompareAsTexts)
{
    const char* key = "SOFTWARE\\Test\\Rows";
    MakeKey(HKEY_LOCAL_MACHINE, key);
    SetDword(HKEY_LOCAL_MACHINE, key, "Two", 2);
    SetDword(HKEY_LOCAL_MACHINE, key, "Big", 256);
    SetText(HKEY_LOCAL_MACHINE, key, "Image Path", "\"C:\\Windows\\System32\\PellixCSP11_5150_s.dll\"");
    RegCheckRow rows[] = {
        Row(HKEY_LOCAL_MACHINE, key, 1, "", "", false),
        Row(HKEY_LOCAL_MACHINE, key, 4, "Two", "\x02", true),
        Row(HKEY_LOCAL_MACHINE, key, 4, "Big", "", true),
        Row(HKEY_LOCAL_MACHINE, key, 1, "Image Path", "\\PellixCSP11_5150_s.dll", true),
    };
    EXPECT_EQ(1, CheckRegistryRows(rows, 4));
    EXPECT_TRUE(Log().empty());

    RegCheckRow wrong[] = {Row(HKEY_LOCAL_MACHINE, key, 4, "Two", "\x01", true)};
    EXPECT_EQ(0, CheckRegistryRows(wrong, 1));
    RegCheckRow missingValue[] = {Row(HKEY_LOCAL_MACHINE, key, 4, "Three", "", true)};
    EXPECT_EQ(0, CheckRegistryRows(missingValue, 1));
    RegCheckRow missingKey[] = {Row(HKEY_CURRENT_USER, "Software\\Nothing", 1, "", "", false)};
    EXPECT_EQ(0, CheckRegistryRows(missingKey, 1));
    ASSERT_EQ(3u, Log().size());
    EXPECT_EQ(u"比对键值\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Rows\\Two\"失败！", WideFromAcp(Log()[0].c_str()));
    EXPECT_EQ(u"读取键值\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Rows\\Three\"失败！", WideFromAcp(Log()[1].c_str()));
    EXPECT_EQ(u"打开\"HKEY_CURRENT_USER\\Software\\Nothing\"失败！", WideFromAcp(Log()[2].c_str()));
}

TEST_F(TableChecks, TrayRowIsRelativeToTheMiddlewareFolder)
{
    SetText(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Ravo5150_Pellix", "Path", "C:\\Program Files\\Pellix\\Ravo5150");
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Ravo5150_Pellix",
            "C:\\Program Files\\Pellix\\Ravo5150\\Marlet_Pellix.exe");
    EXPECT_EQ(1, CheckRegistryRows(&g_regCheckRows[kRegTrayProgram], 1));
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Ravo5150_Pellix",
            "C:\\Elsewhere\\Marlet_Pellix.exe");
    EXPECT_EQ(0, CheckRegistryRows(&g_regCheckRows[kRegTrayProgram], 1));
}

TEST_F(TableChecks, FileRowsCheckPresenceAndDigest)
{
    // MD5("abc") = 900150983CD24FB0D6963F7D28E17F72
    WriteFile("C:\\Windows\\System32\\good.dll", "abc");
    WriteFile("C:\\Windows\\System32\\plain.ocx", "anything");
    FileCheckRow rows[] = {
        {"\\good.dll", 0, 0, 1, 1, "FILE", "900150983CD24FB0D6963F7D28E17F72"},
        {"\\plain.ocx", 6, 0, 1, 1, "FILE", ""},
        {"\\absent.dll", 0, 1, 1, 1, "FILE", ""},
    };
    EXPECT_EQ(0, CheckFileRows(rows, 2, 0, 0));
    EXPECT_EQ(2, CheckFileRows(rows, 3, 1, 0));
    EXPECT_EQ(0, rows[2].result);
    EXPECT_EQ(u"文件\"C:\\Windows\\System32\\absent.dll\"不存在!", WideFromAcp(Log().back().c_str()));

    WriteFile("C:\\Windows\\System32\\good.dll", "abd");
    EXPECT_EQ(1, CheckFileRows(rows, 2, 0, 0));
    EXPECT_EQ(0, rows[0].result);
    FileCheckRow empty[] = {{"", 0, 0, 1, 1, "FILE", ""}};
    EXPECT_EQ(0, CheckFileRows(empty, 1, 0, 0));
}

TEST_F(TableChecks, Wow64ReachesBothSystemFolders)
{
    SetText(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
            "PROCESSOR_ARCHITECTURE", "AMD64");
    WriteFile("C:\\Windows\\SysWOW64\\x86.dll", "32");
    WriteFile("C:\\Windows\\System32\\x64.dll", "64");
    FileCheckRow rows[] = {
        {"\\x86.dll", 0, 0, 1, 1, "FILE", ""},
        {"\\x64.dll", 6, 0, 1, 1, "FILE", ""},
    };
    EXPECT_EQ(0, CheckFileRows(rows, 2, 0, 1));
    FileCheckRow wrongFolder[] = {{"\\x64.dll", 0, 0, 1, 1, "FILE", ""}};
    EXPECT_EQ(1, CheckFileRows(wrongFolder, 1, 0, 1));
}

TEST_F(TableChecks, RootCertKeysMustAllOpen)
{
    EXPECT_EQ(0, CheckRootCerts());
    for (const auto& row : g_rootCertKeys)
        MakeKey(row.root, row.keyPath);
    EXPECT_EQ(1, CheckRootCerts());
    RootCertKey none[] = {{nullptr, ""}};
    EXPECT_EQ(1, CheckRootCertRows(none, 1));
}

TEST_F(TableChecks, FileSearchListsEveryPathEndingWithTheName)
{
    WriteFile("C:\\Users\\u\\Acrobat\\addressbook.acrodata", "top");
    WriteFile("C:\\Users\\u\\Acrobat\\11.0\\Security\\addressbook.acrodata", "deep");
    WriteFile("C:\\Users\\u\\Acrobat\\xaddressbook.acrodata", "x");
    WriteFile("C:\\Users\\u\\Acrobat\\addressbook.acrodata.bak", "no");
    WriteFile("C:\\Users\\u\\Acrobat\\AddressBook.acrodata.x\\keep", "no");
    WriteFile("C:\\Users\\u\\Acrobat\\.hidden\\addressbook.acrodata", "skipped");
    std::vector<std::u16string> files;
    EXPECT_TRUE(FindFilesRecursive(files, u"C:\\Users\\u\\Acrobat", u"addressbook.acrodata"));
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::u16string>{u"C:\\Users\\u\\Acrobat\\11.0\\Security\\addressbook.acrodata",
                                           u"C:\\Users\\u\\Acrobat\\addressbook.acrodata",
                                           u"C:\\Users\\u\\Acrobat\\xaddressbook.acrodata"}),
              files);

    std::vector<std::u16string> none;
    EXPECT_TRUE(FindFilesRecursive(none, u"C:\\Nowhere", u"addressbook.acrodata"));
    EXPECT_TRUE(none.empty());
}

TEST_F(TableChecks, FileSearchExaminesTheFirstEntryOfADriveRoot)
{
    // The drive's root yields no "." entry, so its first entry is a real one.
    WriteFile("C:\\0.acrodata", "first");
    std::vector<std::u16string> files;
    EXPECT_TRUE(FindFilesRecursive(files, u"C:", u".acrodata"));
    EXPECT_EQ((std::vector<std::u16string>{u"C:\\0.acrodata"}), files);
}

TEST_F(TableChecks, TokenServiceRunsWhileItsMutexExists)
{
    EXPECT_EQ(0, CheckDovraRunning());
    ASSERT_EQ(1u, Log().size());
    EXPECT_EQ(u"Dovra未启动", WideFromAcp(Log()[0].c_str()));
    HANDLE service = CreateMutexA(nullptr, FALSE, "EF3057D3-1E65-4f36-91F7-75EE1A396FF6_Torvel_single_instance");
    ASSERT_NE(nullptr, service);
    EXPECT_EQ(1, CheckDovraRunning());
    CloseHandle(service);
    EXPECT_EQ(0, CheckDovraRunning());
}
