#include "ChainTrace.h"

HRESULT ChainFailedCallResult()
{
    HRESULT hResult = HResultFromLastErrorKeepCustomer();
    return SUCCEEDED(hResult) ? E_FAIL : hResult;
}
