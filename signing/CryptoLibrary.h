// Start and stop of the crypto library's algorithm tables. Kept apart from the Windows
// headers: the library's type names (X509_NAME ...) collide with CryptoAPI's constants.
#pragma once

// Registers all ciphers and digests of the library, the SM algorithms included (once per
// script object).
void RegisterCryptoLibraryAlgorithms();
// Releases the library's global tables; the SM algorithms are no longer found afterwards,
// whichever script object registered them.
void ReleaseCryptoLibraryTables();
