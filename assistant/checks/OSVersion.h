// The operating system the assistant runs on: version code, name and version text.
#pragma once

#include <string>

#include "sysinfoapi.h"
#include "windows.h"

// Version codes: 0 unknown, 1 Win32s, 2 NT 4 or older, 3-7 the Windows 95/98/Me family,
// 8 Windows 2000, 9 XP, 10 Server 2003, 11 Vista, 12 Windows 7 and anything later but 6.2,
// 13 Windows 8.
class OSVersion
{
public:
    OSVersion();
    virtual ~OSVersion();

    // Code, name and version text from the version record (extended or not) as it stands.
    void Classify();

    OSVERSIONINFOEXW info = {};
    int extended = 0;
    bool valid = false;
    int code = 0;
    std::string name;
    std::string versionText;

protected:
    struct NoQuery
    {
    };
    explicit OSVersion(NoQuery) {}
};

extern OSVersion g_osVersion;

bool IsVistaOrLater(const OSVersion& version);
