// What each of the platform's software providers offers, by its Windows name.
#pragma once

#include <string>
#include <vector>

#include "kit/kit.h"

namespace qm::softcsp
{
struct Profile
{
    std::string name;
    DWORD type = PROV_RSA_FULL;
    DWORD rsaMin = 512, rsaMax = 16384, rsaDefault = 1024; // rsaMax: exchange keys
    DWORD rsaSignMax = 16384;
    DWORD RsaMax(DWORD spec) const { return spec == AT_SIGNATURE ? rsaSignMax : rsaMax; }
    std::vector<cspkit::AlgInfo> algs;
    bool Offers(ALG_ID alg) const;
};

// The provider acquired under this name (the Enhanced provider's profile for names the
// module does not know).
const Profile& ProfileFor(const std::string& name, DWORD type);
} // namespace qm::softcsp
