// An error to raise in script once the native frame that found it holds no C++ objects:
// Duktape raises errors by longjmp, which must not cross C++ destructors.
#pragma once

#include <cstdio>

struct ScriptFailure
{
    int code = 0; // DUK_ERR_*; 0 while nothing failed
    char message[256] = {};

    void Set(int errorCode, const char* text)
    {
        code = errorCode;
        std::snprintf(message, sizeof message, "%s", text);
    }
    explicit operator bool() const { return code != 0; }
};
