// Requests by address: the answer's status, failures without an answer, and the machine's
// connection state.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "loopback_http.h"
#include "qm/machine.h"
#include "windows.h"
#include "wininet.h"

namespace
{
class OpenUrl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-wininet-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
        m_session = InternetOpenW(u"test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_NE(nullptr, m_session);
    }
    void TearDown() override
    {
        InternetCloseHandle(m_session);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    static void SetMachineDword(HKEY root, const char16_t* key, const char16_t* name, DWORD value)
    {
        qm::SetProcessElevated(true);
        HKEY h = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4));
        RegCloseKey(h);
        qm::SetProcessElevated(false);
    }

    std::filesystem::path m_dir;
    HINTERNET m_session = nullptr;
};
} // namespace

TEST_F(OpenUrl, TheAnswersStatusWhateverItIs)
{
    for (int status : {200, 204, 404, 500})
    {
        LoopbackHttp server(status);
        HINTERNET file = InternetOpenUrlW(m_session, server.Url().c_str(), nullptr, 0, 1, 1);
        ASSERT_NE(nullptr, file) << status;
        DWORD code = 0, size = sizeof code;
        ASSERT_TRUE(HttpQueryInfoW(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr));
        EXPECT_EQ(DWORD(status), code);
        EXPECT_EQ(4u, size);

        WCHAR text[8] = {};
        size = 4; // room for one character only
        EXPECT_FALSE(HttpQueryInfoW(file, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
        EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(8u, size);
        ASSERT_TRUE(HttpQueryInfoW(file, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
        const std::string digits = std::to_string(status);
        EXPECT_EQ(std::u16string(digits.begin(), digits.end()), text);
        EXPECT_EQ(digits.size() * 2, size);
        EXPECT_EQ(1, server.Requests());
        EXPECT_TRUE(InternetCloseHandle(file));
    }
}

TEST_F(OpenUrl, NoAnswer)
{
    struct Case
    {
        std::u16string url;
        DWORD error;
    } cases[] = {
        {LoopbackHttp::RefusedUrl(), ERROR_INTERNET_CANNOT_CONNECT},
        {u"ftp://127.0.0.1/", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {u"not an address", ERROR_INTERNET_INVALID_URL},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(nullptr, InternetOpenUrlW(m_session, c.url.c_str(), nullptr, 0, 1, 1));
        EXPECT_EQ(c.error, GetLastError());
    }
}

TEST_F(OpenUrl, HandlesOfTheWrongKind)
{
    LoopbackHttp server(200);
    HINTERNET file = InternetOpenUrlW(m_session, server.Url().c_str(), nullptr, 0, 1, 1);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(nullptr, InternetOpenUrlW(file, server.Url().c_str(), nullptr, 0, 1, 1));
    EXPECT_EQ(DWORD(ERROR_INTERNET_INCORRECT_HANDLE_TYPE), GetLastError());
    DWORD code = 0, size = 4;
    EXPECT_FALSE(HttpQueryInfoW(m_session, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr));
    EXPECT_EQ(DWORD(ERROR_INTERNET_INCORRECT_HANDLE_TYPE), GetLastError());
    EXPECT_FALSE(HttpQueryInfoW(file, 1 /* content type */, &code, &size, nullptr));
    EXPECT_EQ(DWORD(ERROR_HTTP_HEADER_NOT_FOUND), GetLastError());
    EXPECT_TRUE(InternetCloseHandle(file));
    EXPECT_FALSE(InternetCloseHandle(file));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(OpenUrl, TheUsersProxyIsUsedWhenSwitchedOn)
{
    // The proxy is a loopback server that answers 407 for everything.
    LoopbackHttp proxy(407, "Proxy Authentication Required");
    std::u16string server = proxy.Url().substr(7); // 127.0.0.1:port/
    server.pop_back();
    const char16_t* key = u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    SetMachineDword(HKEY_CURRENT_USER, key, u"ProxyEnable", 1);
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr));
    RegSetValueExW(h, u"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   DWORD((server.size() + 1) * 2));
    RegCloseKey(h);

    HINTERNET session = InternetOpenW(u"test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET file = InternetOpenUrlW(session, u"http://www.quillmark.invalid/", nullptr, 0, 1, 1);
    ASSERT_NE(nullptr, file);
    DWORD code = 0, size = 4;
    ASSERT_TRUE(HttpQueryInfoW(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr));
    EXPECT_EQ(407u, code);
    EXPECT_EQ(1, proxy.Requests());
    InternetCloseHandle(file);
    InternetCloseHandle(session);
}

TEST_F(OpenUrl, ConnectedStateIsWhatTheMachineStates)
{
    DWORD flags = 99;
    EXPECT_FALSE(InternetGetConnectedState(&flags, 0));
    EXPECT_EQ(0u, flags);
    SetMachineDword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmark\\Machine", u"InternetConnectedState",
                    INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_CONFIGURED);
    EXPECT_TRUE(InternetGetConnectedState(&flags, 0));
    EXPECT_EQ(DWORD(INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_CONFIGURED), flags);
}
