// The enrollment agent behind the script object.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

class CCryptoAgent
{
public:
    CCryptoAgent();
    ~CCryptoAgent();

    CCryptoAgent(const CCryptoAgent&) = delete;
    CCryptoAgent& operator=(const CCryptoAgent&) = delete;

    // Text of the agent's last result; the caller frees it with SysFreeString.
    HRESULT GetLastErrorDesc(BSTR* pbstrDescription);

private:
    HRESULT m_hrLastResult;
};
