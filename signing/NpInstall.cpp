// The chain-installation export: an installer calls it once, with COM and administrator rights.
#include <npfunctions.h>

#include "TrustChainInstall.h"

extern "C" __attribute__((visibility("default"))) void NP_Install(void)
{
    InstallSigningTrustChains();
}
