// State of the user-group query.
#pragma once

#include "sysinfoapi.h"
#include "windows.h"

class CComonCheck
{
public:
    CComonCheck() = default;
    virtual ~CComonCheck()
    {
        if (m_netApi)
            FreeLibrary(m_netApi);
    }
    CComonCheck(const CComonCheck&) = delete;
    CComonCheck& operator=(const CComonCheck&) = delete;

    HMODULE m_netApi = nullptr;
    OSVERSIONINFOW m_version = {};
    FARPROC m_netUserGetLocalGroups = nullptr;
};
