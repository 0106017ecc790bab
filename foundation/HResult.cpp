#include "HResult.h"

HRESULT HResultFromWin32(DWORD dwError)
{
    if ((LONG)dwError <= 0)
    {
        return (HRESULT)dwError;
    }
    return (HRESULT)((dwError & 0xFFFFUL) | 0x80070000UL);
}

HRESULT HResultFromWin32KeepCustomer(DWORD dwError)
{
    if ((LONG)dwError <= 0)
    {
        return (HRESULT)dwError;
    }
    return (HRESULT)((dwError & 0xFFFFUL) | 0x00070000UL | (dwError & CUSTOMER_CODE_BIT) | 0x80000000UL);
}

HRESULT HResultFromLastError()
{
    return HResultFromWin32(GetLastError());
}

HRESULT HResultFromLastErrorKeepCustomer()
{
    return HResultFromWin32KeepCustomer(GetLastError());
}

HRESULT HResultOfFailedCall()
{
    HRESULT hResult = HResultFromLastError();
    return SUCCEEDED(hResult) ? E_FAIL : hResult;
}

HRESULT HResultOfFailedCallKeepCustomer()
{
    HRESULT hResult = HResultFromLastErrorKeepCustomer();
    return SUCCEEDED(hResult) ? E_FAIL : hResult;
}
