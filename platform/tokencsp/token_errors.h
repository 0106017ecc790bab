// The token provider's own error codes: Windows' customer bit 0x20000000 marks them.
#pragma once

#include "windef.h"

#define QM_TOKEN_E_NO_LIBRARY 0x20000001u     // the token's PKCS#11 library cannot be loaded
#define QM_TOKEN_E_NO_TOKEN 0x20000002u       // the token is not present
#define QM_TOKEN_E_LOGIN 0x20000003u          // the token refused the PIN
#define QM_TOKEN_E_DEVICE 0x20000004u         // the token failed an operation
#define QM_TOKEN_E_NOT_CONFIGURED 0x20000005u // no token configuration for this provider name
