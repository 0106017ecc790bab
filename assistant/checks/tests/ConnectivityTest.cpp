// The connectivity check: the machine's connection state first, else a request whose status
// decides.
#include "CheckMachine.h"
#include "CheckText.h"
#include "Connectivity.h"
#include "loopback_http.h"
#include "wininet.h"

namespace
{
class Connectivity : public CheckMachine
{
};

std::string Acp(const std::u16string& url)
{
    return AcpFromWide(url.c_str());
}
} // namespace

TEST_F(Connectivity, WithoutAStatedConnectionTheAnswerDecides)
{
    struct Case
    {
        int status;
        int expected;
    } cases[] = {{200, 1}, {204, 1}, {403, 403}, {404, 404}, {500, 500}};
    for (const auto& c : cases)
    {
        LoopbackHttp server(c.status);
        EXPECT_EQ(c.expected, CheckUrlConnectivity(Acp(server.Url("/index.html")).c_str())) << c.status;
        EXPECT_EQ(1, server.Requests());
    }
    EXPECT_EQ(-1, CheckUrlConnectivity(Acp(LoopbackHttp::RefusedUrl()).c_str())) << "refused";
}

TEST_F(Connectivity, AStatedConnectionAnswersWithoutARequest)
{
    struct Case
    {
        DWORD flags;
        int expected;
    } cases[] = {{INTERNET_CONNECTION_LAN, 1}, {INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_OFFLINE, -1}};
    for (const auto& c : cases)
    {
        SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmark\\Machine", "InternetConnectedState", c.flags);
        LoopbackHttp server(404);
        EXPECT_EQ(c.expected, CheckUrlConnectivity(Acp(server.Url()).c_str()));
        EXPECT_EQ(0, server.Requests());
    }
}
