// The thread's last error after a failed call, with the customer bit kept.
#pragma once

#include "HResult.h"

// A failed call that left no code behind must not read as success.
inline HRESULT FailedCallResultKeepCustomer()
{
    HRESULT hResult = HResultFromLastErrorKeepCustomer();
    return SUCCEEDED(hResult) ? E_FAIL : hResult;
}
