// Hash names of the page, their CryptoAPI ids, and hashing of content in pieces.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

// Content reaches CryptHashData in pieces of at most this many bytes.
#define HASH_PIECE_SIZE 0x4000

// "SHA-1", "SHA-256", "MD-5" in any letter case; 0 for any other name.
ALG_ID GetHashAlgorithmIDByName(LPCWSTR lpwszHashAlg);

// Digest length of a hash id (MD5 16, SHA-1 20, SHA-256 and SM3 32); 0 for other ids.
DWORD GetHashDigestSize(ALG_ID uHashAlgorithm);

// CryptHashData over the content, piece by piece; FALSE with the last error of the failed call.
BOOL HashDataInPieces(HCRYPTHASH hHash, const BYTE* pbData, DWORD cbData);
