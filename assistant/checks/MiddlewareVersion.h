// The installed token middleware's version against the expected one.
#pragma once

// 1 when the installed version (HKLM key, value "Version") is at least `expected`, else 0;
// the normalised installed version goes to the caller's zeroed 260-byte buffer. The buffer is
// left as it was when the key or value cannot be read.
int ReadMiddlewareVersion(char* buffer, const char* key, const char* expected);
// Versions as hexadecimal digit pairs, compared by their first four bytes: 1 when installed is
// not lower than expected.
int CompareVersionHex(const char* installed, const char* expected);
