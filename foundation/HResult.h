// How Win32 errors become HRESULTs, and the foundation's own result codes.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// Rule 1: e > 0 becomes 0x8007xxxx (the customer bit is dropped); e <= 0 passes unchanged.
HRESULT HResultFromWin32(DWORD dwError);
// Rule 2: like rule 1, but a customer code 0x2000xxxx becomes 0xA007xxxx.
HRESULT HResultFromWin32KeepCustomer(DWORD dwError);

// The thread's last error by rule 1 / rule 2.
HRESULT HResultFromLastError();
HRESULT HResultFromLastErrorKeepCustomer();

// For a platform call that reported failure: the last error by rule 1, or E_FAIL when the
// call left no error code behind (a failure must never read as success).
HRESULT HResultOfFailedCall();
// The same by rule 2: a CSP's customer code is kept as 0xA007xxxx.
HRESULT HResultOfFailedCallKeepCustomer();

// The system's own codes: severity, customer bit, facility 7, message id in the low word.
#define CUSTOMER_CODE_BIT 0x20000000UL
#define MAKE_OWN_HRESULT(id) ((HRESULT)(0xA0070000UL | ((id) & 0xFFFFUL)))
#define IS_OWN_HRESULT(hr) ((((DWORD)(hr)) & CUSTOMER_CODE_BIT) != 0)

#define E_QUERY_TYPE_NOT_SUPPORTED MAKE_OWN_HRESULT(0x1003)
#define E_PRIVATE_KEY_REGISTERED MAKE_OWN_HRESULT(0x1009)
#define E_NO_KEY_USAGE_ATTRIBUTE MAKE_OWN_HRESULT(0x1020)
#define E_NO_SUBJECT_KEY_ID_ATTRIBUTE MAKE_OWN_HRESULT(0x1021)
#define E_INVALID_CERT_USAGE MAKE_OWN_HRESULT(0x2021)

// 0x8007000D, ERROR_INVALID_DATA as an HRESULT.
#define E_INVALID_DATA ((HRESULT)0x8007000DL)
