#include "MiddlewareConfig.h"

const MiddlewareConfig g_middlewareConfig = {
    "Software\\Ostrel\\Ravo5150_Pellix",
    "Ravo5150",
    "10180601",
    "PellixCSP11_5150.dll",
    "Ravo5150-4FE7-A218-48BDAE051E2B_Pellix10180601",
    "EF3057D3-1E65-4f36-91F7-75EE1A396FF6",
    30,
};
