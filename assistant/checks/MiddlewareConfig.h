// The token middleware the assistant expects, as compiled into the program.
#pragma once

#include <cstdint>

struct MiddlewareConfig
{
    char registryKey[260];
    char productWord[260];
    char expectedVersion[260];
    char pkcs11Library[260];
    char uninstallName[260];
    char mutexPrefix[260];
    int32_t expiryWindowDays;
};

extern const MiddlewareConfig g_middlewareConfig;
