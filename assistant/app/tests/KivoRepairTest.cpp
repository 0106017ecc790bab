// The repair on a temporary machine: uninstallers, the stale key, the carried installers
// and their exit codes, the address book, and the browser start.
#include "AssistantFixtures.h"
#include "CheckTables.h"
#include "KivoRepair.h"

using Pairs = std::vector<ResultPair>;

namespace
{
const char16_t kUninstall[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::u16string UserName()
{
    WCHAR sz[MAX_PATH];
    GetTempPathW(MAX_PATH, sz);
    std::u16string temp(sz); // C:\Users\<user>\AppData\Local\Temp\ .
    size_t start = 9, end = temp.find(u'\\', start);
    return temp.substr(start, end - start);
}
} // namespace

class Repair : public FreshAssistantMachine
{
protected:
    void SetUp() override
    {
        FreshAssistantMachine::SetUp();
        qm::SetProcessElevated(true); // the assistant runs with administrator rights
        m_temp = OnDrive(GetTempFolder());
        m_script = ReadAll(std::filesystem::path(QM_ASSISTANT_PAYLOAD_DIR) / "installer.sh");
    }
    void SetValue(const std::u16string& key, const char16_t* name, const std::u16string& value)
    {
        HKEY h = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &h, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                                DWORD((value.size() + 1) * 2)));
        RegCloseKey(h);
    }
    // An uninstaller: the carried installer script at a path of the machine.
    void PlaceProgram(const std::u16string& windowsPath) { WriteAll(OnDrive(windowsPath), m_script); }
    Pairs RunRepair()
    {
        std::u16string out;
        EXPECT_TRUE(DispatchSysCall(10, u"QV", &m_dlg, out));
        m_dlg.PumpUntilDone();
        return m_dlg.m_results;
    }
    std::string Runs(const std::filesystem::path& folder) { return ReadAll(folder / "installers.log"); }

    FakeDialog& m_dlg = NewFakeDialog();
    std::filesystem::path m_temp;
    std::string m_script;
};

TEST_F(Repair, NothingInstalledRunsBothInstallers)
{
    Pairs expected = {{{}, u"TITLE_CS", u"1"}, {{}, u"REPAIR2", u"100"}, {{}, u"REPAIR2", u"0"}};
    EXPECT_EQ(expected, RunRepair());
    // The second installer without arguments as this process is; the middleware's silently
    // and elevated ("runas" on Vista or later).
    EXPECT_EQ("Ladrin.exe  elevated=1\nTAVELIN_SETUP.EXE /S elevated=1\n", Runs(m_temp));
    EXPECT_EQ(ReadAll(std::filesystem::path(QM_ASSISTANT_PAYLOAD_DIR) / "addressbook.acrodata"),
              ReadAll(m_temp / "addressbook.acrodata"));
}

TEST_F(Repair, InstallerExitCodes)
{
    struct Case
    {
        const char* name;
        const char* ladrinExit;
        const char* setupExit;
        Pairs tail;
    } cases[] = {
        {"middleware installer fails", "0", "3", {{{}, u"REPAIR0", u"100"}, {{}, u"REPAIR0", u"0"}}},
        {"second installer's code is not judged", "5", "0", {{{}, u"REPAIR2", u"100"}, {{}, u"REPAIR2", u"0"}}},
    };
    for (const auto& c : cases)
    {
        m_dlg.m_results.clear();
        WriteAll(m_temp / "Ladrin.exe.exitcode", c.ladrinExit);
        WriteAll(m_temp / "TAVELIN_SETUP.EXE.exitcode", c.setupExit);
        Pairs pairs = RunRepair();
        ASSERT_EQ(3u, pairs.size()) << c.name;
        EXPECT_EQ(c.tail, Pairs(pairs.begin() + 1, pairs.end())) << c.name;
    }
}

TEST_F(Repair, SecondInstallerThatCannotBeWrittenEndsTheRepair)
{
    std::filesystem::create_directories(m_temp / "Ladrin.exe"); // a folder stands in the way
    Pairs expected = {{{}, u"TITLE_CS", u"1"}, {{}, u"REPAIR0", u"1"}, {{}, u"REPAIR0", u"0"}};
    EXPECT_EQ(expected, RunRepair());
    EXPECT_EQ("", Runs(m_temp)) << "the middleware installer is not run";
    EXPECT_EQ(0, m_dlg.m_state.m_nBusy.load());
}

TEST_F(Repair, UninstallersRunAndTheStaleEntryGoes)
{
    // Key 1: quoted path alone, runs. Key 2: quoted path with arguments: without its quotes
    // the whole text names no file, so nothing runs. Key 3: missing value.
    PlaceProgram(u"C:\\Program Files\\Rara\\uninst.exe");
    PlaceProgram(u"C:\\Program Files\\Tide\\uninst.exe");
    PlaceProgram(u"C:\\Program Files\\Pellix\\Ravo5150\\uninst.exe");
    SetValue(std::u16string(kUninstall) + u"Sigmora.RaraRividiveda.Pro.x8603020209", u"UninstallString",
             u"\"C:\\Program Files\\Rara\\uninst.exe\"");
    SetValue(std::u16string(kUninstall) + u"Sigmora.Tidelane30020003", u"UninstallString",
             u"\"C:\\Program Files\\Tide\\uninst.exe\" /quiet");
    SetValue(std::u16string(kUninstall) + u"Ravo5150-4FE7-A218-48BDAE051E2B_Pellix10180601", u"DisplayName", u"x");
    std::u16string stale = std::u16string(kUninstall) + u"Ravo5150-4FE7-A218-48BDAE051E2B_Pellix10200528";
    SetValue(stale, u"UninstallString", u"C:\\gone.exe");
    SetValue(stale + u"\\Sub\\Deeper", u"v", u"1");

    RunRepair();
    EXPECT_EQ("uninst.exe /S elevated=1\n", Runs(OnDrive(u"C:\\Program Files\\Rara")));
    EXPECT_EQ("", Runs(OnDrive(u"C:\\Program Files\\Tide")));
    EXPECT_EQ("uninst.exe /S elevated=1\n", Runs(OnDrive(u"C:\\Program Files\\Pellix\\Ravo5150")));
    EXPECT_FALSE(KeyExists(stale));
    EXPECT_TRUE(KeyExists(std::u16string(kUninstall) + u"Sigmora.RaraRividiveda.Pro.x8603020209"))
        << "the repair changes no other registry key";
}

// Uninstall entries that cannot be read are not "nothing installed": the repair fails and
// installs nothing over a product it could not remove.
TEST_F(Repair, UninstallEntriesThatCannotBeReadFailTheRepair)
{
    SetValue(std::u16string(kUninstall) + u"Sigmora.Tidelane30020003", u"UninstallString", u"C:\\x.exe");
    {
        std::ofstream hive(m_dir / "registry" / "HKLM.db", std::ios::binary | std::ios::trunc);
        hive << std::string(8192, 'x');
    }
    std::u16string buffer = u"unchanged";
    EXPECT_NE(ERROR_SUCCESS, ReadUninstallString(std::u16string(kUninstall) + u"Sigmora.Tidelane30020003", buffer));
    EXPECT_EQ(u"unchanged", buffer);
    EXPECT_FALSE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, std::u16string(kUninstall) + u"Missing"));

    Pairs expected = {{{}, u"TITLE_CS", u"1"}, {{}, u"REPAIR0", u"100"}, {{}, u"REPAIR0", u"0"}};
    EXPECT_EQ(expected, RunRepair());
    EXPECT_EQ("", Runs(m_temp)) << "neither installer is run";
    EXPECT_EQ(0, m_dlg.m_state.m_nBusy.load());
}

TEST_F(Repair, UninstallerWithoutVistaIsNotElevatedAndFailureIsSilent)
{
    qm::SetProcessElevated(false);
    m_dlg.m_checks.osCode = 9; // XP: no "runas"
    PlaceProgram(u"C:\\Program Files\\Pellix\\Ravo5150\\uninst.exe");
    WriteAll(OnDrive(u"C:\\Program Files\\Pellix\\Ravo5150\\uninst.exe.exitcode"), "2");
    Pairs pairs = RunRepair();
    EXPECT_EQ("uninst.exe /S elevated=0\n", Runs(OnDrive(u"C:\\Program Files\\Pellix\\Ravo5150")));
    ASSERT_EQ(3u, pairs.size()) << "no pair for the uninstaller";
}

TEST_F(Repair, AddressBooksAreKeptAsideAndReplaced)
{
    std::u16string acrobat = u"C:\\Users\\" + UserName() + u"\\AppData\\Roaming\\Adobe\\Acrobat";
    std::u16string a = acrobat + u"\\9.0\\Security\\addressbook.acrodata";
    std::u16string b = acrobat + u"\\10.0\\Security\\addressbook.acrodata";
    WriteAll(OnDrive(a), "book A");
    WriteAll(OnDrive(b), "book B");
    m_dlg.m_checks.found = {a, b};
    RunRepair();
    std::string carried = ReadAll(std::filesystem::path(QM_ASSISTANT_PAYLOAD_DIR) / "addressbook.acrodata");
    EXPECT_EQ(carried, ReadAll(OnDrive(a)));
    EXPECT_EQ(carried, ReadAll(OnDrive(b)));
    // Each old book beside its replacement, under its name plus the same HHMMSS suffix.
    std::string suffixA, suffixB;
    for (auto& e : std::filesystem::directory_iterator(OnDrive(a).parent_path()))
        if (e.path().filename() != "addressbook.acrodata")
        {
            suffixA = e.path().filename().string().substr(20);
            EXPECT_EQ("book A", ReadAll(e.path()));
        }
    for (auto& e : std::filesystem::directory_iterator(OnDrive(b).parent_path()))
        if (e.path().filename() != "addressbook.acrodata")
        {
            suffixB = e.path().filename().string().substr(20);
            EXPECT_EQ("book B", ReadAll(e.path()));
        }
    ASSERT_EQ(6u, suffixA.size());
    EXPECT_EQ(suffixA, suffixB);
    EXPECT_EQ(std::string::npos, suffixA.find_first_not_of("0123456789"));
}

TEST_F(Repair, HelpersOnTheirOwn)
{
    std::u16string text = u"\"a\"\"b\" \"";
    ReplaceAll(text, u"\"", u"");
    EXPECT_EQ(u"ab ", text);
    std::u16string grow = u"aa";
    ReplaceAll(grow, u"a", u"aa");
    EXPECT_EQ(u"aaaa", grow) << "scanning goes on after each replacement";

    std::u16string buffer = u"unchanged";
    EXPECT_EQ(ERROR_SUCCESS, ReadUninstallString(std::u16string(kUninstall) + u"Missing", buffer));
    EXPECT_EQ(u"unchanged", buffer);
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, std::u16string(kUninstall) + u"Missing"));
}

TEST_F(Repair, SitesOpenInTheBrowser)
{
    struct Case
    {
        int cmd;
        const char* site;
    } cases[] = {{21, "https://www.quillmark.com.cn/"},
                 {22, "https://ebank.partner-bank.example/pweb/"},
                 {23, "https://ebank.partner-bank.example:8443/eweb/"}};
    auto browser = OnDrive(u"C:\\Program Files\\Internet Explorer");
    // Without "ProgramFilesDir" nothing starts.
    PlaceProgram(u"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE");
    std::u16string out;
    ASSERT_TRUE(DispatchSysCall(21, u"QV", &m_dlg, out));
    SetValue(u"Software\\Microsoft\\Windows\\CurrentVersion", u"ProgramFilesDir", u"C:\\Program Files");
    std::string expected;
    for (const auto& c : cases)
    {
        m_dlg.m_state.m_strCallbackName = u"mainframe.addResult";
        ASSERT_TRUE(DispatchSysCall(c.cmd, u"QV", &m_dlg, out));
        EXPECT_EQ(u"mainframe.addResult", m_dlg.m_state.m_strCallbackName) << "the frame is left as it was";
        expected += std::string("IEXPLORE.EXE ") + c.site + " elevated=1\n";
        for (int i = 0; i < 20000 && Runs(browser) != expected; ++i)
            Sleep(1);
        EXPECT_EQ(expected, Runs(browser));
    }
    EXPECT_TRUE(m_dlg.m_results.empty());

    // The service's site is the host the pages' trusted-site rows (domain, then host) name.
    std::string row = g_regCheckRows[kRegTrustedSite].keyPath;
    std::string domain = row.substr(row.rfind('\\', row.size() - 5) + 1);
    std::string host = domain.substr(domain.find('\\') + 1) + "." + domain.substr(0, domain.find('\\'));
    EXPECT_EQ("https://" + host + "/", cases[0].site);
}
