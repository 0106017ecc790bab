// The two rules that turn Win32 errors into HRESULTs.
#include <gtest/gtest.h>

#include "HResult.h"

TEST(HResult, RulesForWin32Errors)
{
    struct Case
    {
        DWORD dwError;
        HRESULT hrRule1;
        HRESULT hrRule2;
    };
    const Case cases[] = {
        {0, S_OK, S_OK},
        {ERROR_NO_MORE_ITEMS, (HRESULT)0x80070103, (HRESULT)0x80070103},
        {ERROR_ACCESS_DENIED, (HRESULT)0x80070005, (HRESULT)0x80070005},
        {ERROR_FILE_NOT_FOUND, (HRESULT)0x80070002, (HRESULT)0x80070002},
        {0x80090016, (HRESULT)0x80090016, (HRESULT)0x80090016}, // already an HRESULT
        {0x80004005, E_FAIL, E_FAIL},
        {0x20001002, (HRESULT)0x80071002, (HRESULT)0xA0071002}, // a CSP's customer code
        {0x2000FFFF, (HRESULT)0x8007FFFF, (HRESULT)0xA007FFFF},
        {0x00051234, (HRESULT)0x80071234, (HRESULT)0x80071234}, // high word dropped
        {0x7FFFFFFF, (HRESULT)0x8007FFFF, (HRESULT)0xA007FFFF},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(HResultFromWin32(c.dwError), c.hrRule1) << std::hex << c.dwError;
        EXPECT_EQ(HResultFromWin32KeepCustomer(c.dwError), c.hrRule2) << std::hex << c.dwError;
        SetLastError(c.dwError);
        EXPECT_EQ(HResultFromLastError(), c.hrRule1);
        SetLastError(c.dwError);
        EXPECT_EQ(HResultFromLastErrorKeepCustomer(), c.hrRule2);
    }
}

TEST(HResult, FailedCallWithoutErrorCodeIsStillAFailure)
{
    SetLastError(0);
    EXPECT_EQ(HResultOfFailedCall(), E_FAIL);
    SetLastError(ERROR_INVALID_DATA);
    EXPECT_EQ(HResultOfFailedCall(), E_INVALID_DATA);
}

TEST(HResult, FailedCallKeepingCustomerCodes)
{
    SetLastError(0);
    EXPECT_EQ(HResultOfFailedCallKeepCustomer(), E_FAIL);
    SetLastError(ERROR_INVALID_DATA);
    EXPECT_EQ(HResultOfFailedCallKeepCustomer(), E_INVALID_DATA);
    // A CSP's own code keeps its message id; rule 1 would drop the customer bit.
    SetLastError(0x20001403);
    EXPECT_EQ(HResultOfFailedCallKeepCustomer(), (HRESULT)0xA0071403);
    EXPECT_EQ(HResultOfFailedCall(), (HRESULT)0x80071403);
}

TEST(HResult, OwnCodesCarryTheirMessageId)
{
    EXPECT_EQ(MAKE_OWN_HRESULT(4099), (HRESULT)0xA0071003);
    EXPECT_EQ(E_INVALID_CERT_USAGE, (HRESULT)0xA0072021);
    EXPECT_TRUE(IS_OWN_HRESULT(E_NO_KEY_USAGE_ATTRIBUTE));
    EXPECT_FALSE(IS_OWN_HRESULT(E_INVALIDARG));
    EXPECT_FALSE(IS_OWN_HRESULT(S_OK));
}
