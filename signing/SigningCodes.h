// The signing plug-in's own result codes; the low word is the message id in its string table.
#pragma once

#include "HResult.h"

#define E_NO_CERT_IN_STORE MAKE_OWN_HRESULT(0x1001)
#define E_USER_CANCELLED MAKE_OWN_HRESULT(0x1002)
#define E_CERT_NOT_READY MAKE_OWN_HRESULT(0x2001)
#define E_INVALID_HASH_ALGORITHM MAKE_OWN_HRESULT(0x2020)
#define E_INVALID_KEY_ALGORITHM MAKE_OWN_HRESULT(0x2401)

#define SZOID_PREFIX_RSA "1.2.840.113549"
#define SZOID_PREFIX_SM2 "1.2.156.10197"
