// Registration of all crypto-library algorithms, the SM algorithms included, for the signing
// plug-in's script object: register at construction, release at destruction.
#pragma once

// Names of the SM provider and the property query that selects its algorithms.
constexpr const char *SM_PROVIDER_NAME = "smcrypto";
constexpr const char *SM_PROVIDER_QUERY = "provider=smcrypto";

// The library's ciphers and digests, the SM object identifiers and the SM provider.
// Calling it again while registered changes nothing.
void SmRegisterAllAlgorithms();
// Unloads the SM provider, so its algorithms are no longer found, whoever registered them.
// The object identifiers stay: the library keeps added objects until the process ends.
void SmReleaseAllAlgorithms();
// True between a registration and the next release.
bool SmAlgorithmsRegistered();
