// Descriptions of the system and browser for the page.
#pragma once

#include <string>

#include "windows.h"

// The product display text, else the name and version text of a fresh OSVersion.
std::string GetOSDescription();
// 1 with the product display text in the caller's zeroed 260-byte buffer; 0 when the
// platform is not NT or older than 5; 1 with the buffer untouched when the query fails.
int GetOSDisplayString(char* buffer);
// ntdll's RtlGetVersion, resolved by name, reports 10.0.
bool IsWindows10();
// "IE " + the installed version, or "unknown".
std::string GetIEVersion();
