// The program's local COM server switches, in the process: without elevation /RegServer and
// /UnregServer write nothing; /Embedding keeps the program up for its clients, without a
// log, until the last one lets go.
#include "AssistantFixtures.h"
#include "KivoApp.h"
#include "KivoModule.h"
#include "KivoProtocol.h"
#include "objbase.h"
#include "urlmon.h"

// No switch here may reach the dialog or an error box.
std::unique_ptr<IKivoMainDialog> CreateKivoMainDialog(CKivoApp&)
{
    ADD_FAILURE() << "the dialog was created";
    return nullptr;
}
void ShowKivoStartupError(const std::u16string&) { ADD_FAILURE() << "start-up error"; }
std::vector<std::u16string> g_protocolMessages;
void ShowKivoProtocolMessage(const std::u16string& strText) { g_protocolMessages.push_back(strText); }

namespace
{
// Every key and value of a hive below a key, one line each.
void Walk(HKEY key, const std::string& path, std::string& out)
{
    out += "[" + path + "]\n";
    for (DWORD i = 0;; ++i)
    {
        WCHAR name[256];
        DWORD cch = 256, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &cch, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        out += std::string(name, name + cch) + "=" + std::to_string(type) + ":" + std::to_string(size) + "\n";
    }
    for (DWORD i = 0;; ++i)
    {
        WCHAR name[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS)
        {
            Walk(sub, path + "\\" + std::string(name, name + cch), out);
            RegCloseKey(sub);
        }
    }
}

std::string Hive(HKEY root)
{
    std::string out;
    Walk(root, "", out);
    return out;
}

const char16_t kClassKey[] = u"CLSID\\{76E04540-7128-4CA9-A02F-9ADA30DFD797}";
const char16_t kAppIdKey[] = u"AppID\\{AF292A48-E8B6-40F3-A619-DD6BC988C08A}";
const char16_t kTypeLibKey[] = u"TypeLib\\{04639EC2-DD2D-4319-B385-B24A59BF0D40}";
} // namespace

class KivoServer : public FreshAssistantMachine
{
protected:
    BOOL Start(const char16_t* commandLine) { return KivoApp().InitInstance(commandLine); }
    void ServeUntilReleased(const char16_t* sw);
    void TearDown() override
    {
        KivoApp().ExitInstance();
        FreshAssistantMachine::TearDown();
    }
};

TEST_F(KivoServer, WithoutElevationRegistrationWritesNothing)
{
    qm::SetProcessElevated(true);
    ASSERT_FALSE(Start(u"/RegServer"));
    KivoApp().ExitInstance();
    ASSERT_TRUE(KeyExists(kClassKey, HKEY_CLASSES_ROOT));
    std::string registered = Hive(HKEY_LOCAL_MACHINE);

    qm::SetProcessElevated(false);
    for (const char16_t* sw : {u"/UnregServer", u"-unregserver"})
    {
        EXPECT_FALSE(Start(sw));
        KivoApp().ExitInstance();
        EXPECT_EQ(registered, Hive(HKEY_LOCAL_MACHINE)) << "nothing removed";
    }

    qm::SetProcessElevated(true);
    ASSERT_FALSE(Start(u"/UnregServer"));
    KivoApp().ExitInstance();
    ASSERT_FALSE(KeyExists(kClassKey, HKEY_CLASSES_ROOT));
    std::string clean = Hive(HKEY_LOCAL_MACHINE);

    qm::SetProcessElevated(false);
    for (const char16_t* sw : {u"/RegServer", u"/regserver"})
    {
        EXPECT_FALSE(Start(sw));
        KivoApp().ExitInstance();
        EXPECT_EQ(clean, Hive(HKEY_LOCAL_MACHINE)) << "nothing written";
    }
    EXPECT_FALSE(KeyExists(kAppIdKey, HKEY_CLASSES_ROOT));
    EXPECT_FALSE(KeyExists(kTypeLibKey, HKEY_CLASSES_ROOT));
}

TEST_F(KivoServer, EmbeddingServesTheClassUntilTheLastClientLetsGo)
{
    for (const char16_t* sw : {u"/Embedding", u"-Automation"})
    {
        SCOPED_TRACE(std::string(sw, sw + std::char_traits<char16_t>::length(sw)));
        ServeUntilReleased(sw);
    }
}

void KivoServer::ServeUntilReleased(const char16_t* sw)
{
    ASSERT_TRUE(Start(sw));
    EXPECT_FALSE(std::filesystem::exists(std::string(QM_INSTANCE_PROBE_DIR) + "/assistant_app_test.log"));

    IUnknown* first = nullptr;
    IDispatch* second = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KivoProtocol, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&first)));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KivoProtocol, nullptr, CLSCTX_LOCAL_SERVER, IID_IKivoProtocol,
                                     reinterpret_cast<void**>(&second)));
    EXPECT_EQ(2, KivoModule().GetLockCount());
    void* none = &none;
    EXPECT_EQ(E_NOINTERFACE, first->QueryInterface(IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_KivoProtocol, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                    reinterpret_cast<void**>(&none)))
        << "a local server's class only";

    first->Release();
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "one client is left";
    second->Release();
    EXPECT_EQ(0, KivoModule().GetLockCount());
    EXPECT_EQ(0, KivoApp().Run()) << "the server's loop ends with its last client";

    KivoApp().ExitInstance();
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_KivoProtocol, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                                    reinterpret_cast<void**>(&none)))
        << "revoked at exit";
    CoUninitialize();
}

// The protocol serves "\images\test.gif" beside the program from a running position; without
// the file it says so and reads nothing.
TEST_F(KivoServer, ProtocolReadsThePictureBesideTheProgram)
{
    std::filesystem::path picture = std::filesystem::path(QM_INSTANCE_PROBE_DIR) / "images" / "test.gif";
    std::filesystem::create_directories(picture.parent_path());
    WriteAll(picture, "GIF89a-0123456789");
    IInternetProtocol* protocol = nullptr;
    ASSERT_EQ(S_OK, KivoProtocolFactory()->CreateInstance(nullptr, IID_IInternetProtocol,
                                                          reinterpret_cast<void**>(&protocol)));
    char buf[8];
    ULONG got = 99;
    std::string read;
    HRESULT hr;
    while ((hr = protocol->Read(buf, sizeof buf, &got)) == S_OK)
        read.append(buf, got);
    EXPECT_EQ(S_FALSE, hr);
    EXPECT_EQ(0u, got);
    EXPECT_EQ("GIF89a-0123456789", read);

    IInternetProtocolInfo* info = nullptr;
    ASSERT_EQ(S_OK, protocol->QueryInterface(IID_IInternetProtocolInfo, reinterpret_cast<void**>(&info)));
    EXPECT_EQ(S_FALSE, info->CompareUrl(u"a:", u"a:", 0));
    EXPECT_EQ(E_POINTER, info->CompareUrl(u"a:", nullptr, 0));
    EXPECT_EQ(INET_E_DEFAULT_ACTION, info->ParseUrl(u"a:", PARSE_CANONICALIZE, 0, nullptr, 0, nullptr, 0));
    EXPECT_EQ(E_NOTIMPL, protocol->Suspend());
    EXPECT_EQ(S_OK, protocol->LockRequest(0));
    info->Release();
    protocol->Release();

    std::filesystem::remove_all(picture.parent_path());
    ASSERT_EQ(S_OK, KivoProtocolFactory()->CreateInstance(nullptr, IID_IInternetProtocol,
                                                          reinterpret_cast<void**>(&protocol)));
    got = 99;
    EXPECT_EQ(S_FALSE, protocol->Read(buf, sizeof buf, &got));
    EXPECT_EQ(0u, got);
    EXPECT_EQ(1u, g_protocolMessages.size());
    EXPECT_EQ(u"Can not open file.", g_protocolMessages.empty() ? u"" : g_protocolMessages.back());
    protocol->Release();
    EXPECT_EQ(0, KivoModule().GetLockCount());
}
