// The compiled knowledge of a sound installation: files, registry values, certificate keys.
#pragma once

#include <cstdint>

#include "windows.h"

struct FileCheckRow
{
    char relativePath[260];
    int32_t baseFolder; // 0 32-bit system, 1 middleware, 2 program files, 3 its drive, 5 PassGuard, 6 system
    uint8_t group;      // 1 middleware file, 0 plug-in or control file
    uint8_t result;
    uint8_t enabled;
    const char* kind;
    const char* expectedMd5; // 32 upper-case hex digits, or empty
};

struct RegCheckRow
{
    HKEY root;
    char keyPath[260];
    DWORD valueType;
    char valueName[260];
    char readBuffer[260];
    char expected[260];
    uint8_t compare;
    uint8_t relative;
};

struct RootCertKey
{
    HKEY root;
    char keyPath[260];
};

constexpr int kFileCheckRowCount = 23;
extern FileCheckRow g_fileCheckRows[kFileCheckRowCount];

// Row indexes of the runs the jobs check.
enum FileRun
{
    kFilesMiddleware = 0,        // 12 rows
    kFilesSignPlugin32 = 12,     // 2 rows
    kFilesSignPluginWow64 = 14,  // 3 rows
    kFilesKeyControl = 17,       // 1 row
    kFilesEnrollPlugin32 = 18,   // 2 rows
    kFilesEnrollPluginWow64 = 20 // 3 rows
};

constexpr int kRegCheckRowCount = 21;
extern RegCheckRow g_regCheckRows[kRegCheckRowCount];

enum RegRun
{
    kRegSignControlClass = 0,   // 1 row
    kRegKeyControlClass = 1,    // 1 row
    kRegEnrollControlClass = 2, // 1 row
    kRegTokenCsp = 3,           // 3 rows
    kRegTrayProgram = 6,        // 1 row
    kRegTrustedSite = 7,        // 2 rows, one each
    kRegTrustedZone = 9,        // 7 rows
    kRegUnreadRows = 16         // 4 class rows and a zone-range row no check reads
};

constexpr int kRootCertKeyCount = 7;
extern RootCertKey g_rootCertKeys[kRootCertKeyCount];
