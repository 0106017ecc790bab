// The authority's discarded certificates, grouped by discarded root: for each root its
// intermediate rows first, then the root row.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

enum DISCARD_ROW_KIND
{
    DISCARD_INTERMEDIATE, // issuer DN, serial hex, subject DN
    DISCARD_ROOT,         // DN (issuer and subject), SHA-1 thumbprint, serial hex
};

struct DISCARD_CERT_ROW
{
    DISCARD_ROW_KIND eKind;
    LPCWSTR lpwszFirst;
    LPCWSTR lpwszSecond;
    LPCWSTR lpwszThird;
};

extern const DISCARD_CERT_ROW g_rgRSADiscardCerts[];
extern const DWORD g_cRSADiscardCerts;
extern const DISCARD_CERT_ROW g_rgSM2DiscardCerts[];
extern const DWORD g_cSM2DiscardCerts;
