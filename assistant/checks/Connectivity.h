// Whether the maker's web host answers.
#pragma once

// The maker's fixed web host.
extern const char* const kMakerWebAddress;

// 1 connected (or an answer with a 2xx status); -1 offline or no answer; the status of any
// other answer; 0 when the status cannot be read or opening the address raised an error.
int CheckUrlConnectivity(const char* pszAddress);
