// Checks of a machine whose token middleware is in place: the token answers come from the
// program's own checks over the machine's token device, every other answer is FakeChecks'.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "AssistantFixtures.h"
#include "KivoCheckSuite.h"

struct TokenDeviceChecks : FakeChecks
{
    int EnumTokenSlots() override { return KivoChecks().EnumTokenSlots(); }
    int GetTokenCertState() override { return KivoChecks().GetTokenCertState(); }
    std::unique_lock<std::mutex> LockTokenChecks() override { return KivoChecks().LockTokenChecks(); }
};

// The machine of make_token_machine.sh; 0 when it was made.
inline int MakeTokenMachine(const std::filesystem::path& dir)
{
    std::string cmd = "'" QM_MAKE_TOKEN_MACHINE "' '" QMCTL_PATH "' '" + dir.string() + "'";
    return std::system(cmd.c_str());
}
