// The jobs' checks over the check library on a bare machine and after installing pieces.
#include "AssistantFixtures.h"
#include "KivoCheckSuite.h"
#include "MiddlewareConfig.h"

class CheckSuite : public FreshAssistantMachine
{
};

TEST_F(CheckSuite, BareMachineAndMiddlewareUninstallKey)
{
    IKivoChecks& checks = KivoChecks();
    EXPECT_EQ(0, checks.IsMiddlewareInstalled());
    EXPECT_EQ(-1, checks.GetTokenCertState()) << "no token library was loaded";
    EXPECT_EQ(0, checks.CheckKeyControl());
    EXPECT_NE(0, checks.CheckSignPlugin());
    EXPECT_NE(0, checks.CheckEnrollPluginFiles());

    qm::SetProcessElevated(true);
    std::string name = g_middlewareConfig.uninstallName;
    std::u16string key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                         std::u16string(name.begin(), name.end());
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr));
    RegCloseKey(h);
    EXPECT_EQ(1, checks.IsMiddlewareInstalled());
}
