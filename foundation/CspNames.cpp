// The names of the installed CSPs as one "||"-joined text.
#include <cstring>
#include <new>

#include "ContainerCertificates.h"
#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"CspNames"

namespace
{
const WCHAR s_wszName[] = u"GetAllCSPName";
// A provider that cannot be read is skipped; when every index keeps failing the list
// itself cannot be read (its registry is unreadable), which is an error, not an empty list.
const DWORD s_dwMaxFailuresInRow = 32;
} // namespace

HRESULT GetAllCSPName(LPWSTR* ppwszAllCSPName)
{
    TraceHelper trace(s_wszName);
    if (!ppwszAllCSPName)
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }
    *ppwszAllCSPName = nullptr;

    std::u16string wstrAll;
    try
    {
        DWORD dwFailuresInRow = 0;
        for (DWORD dwIndex = 0;; ++dwIndex)
        {
            DWORD dwType = 0;
            DWORD cbName = 0;
            if (!CryptEnumProvidersW(dwIndex, nullptr, 0, &dwType, nullptr, &cbName))
            {
                DWORD dwError = GetLastError();
                if (dwError == ERROR_NO_MORE_ITEMS)
                    break;
                QM_TRACE_INFO(dwIndex, dwError);
                if (++dwFailuresInRow >= s_dwMaxFailuresInRow)
                {
                    HRESULT hr = HResultFromWin32KeepCustomer(dwError);
                    TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptEnumProviders", u"!bResult", hr);
                    return hr;
                }
                continue;
            }
            dwFailuresInRow = 0;

            // One character more than asked, so the name is terminated whatever the size says.
            const unsigned long long cchBuffer = cbName / sizeof(WCHAR) + 2ULL;
            LPWSTR pwszProvName = NewZeroedArray<WCHAR>(cchBuffer);
            if (!pwszProvName)
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!pwstrProvName", E_OUTOFMEMORY);
                return E_OUTOFMEMORY;
            }
            TraceStepSucceeded(s_wszName, u"New buffer");

            BOOL bResult = CryptEnumProvidersW(dwIndex, nullptr, 0, &dwType, pwszProvName, &cbName);
            if (!bResult)
            {
                HRESULT hr = HResultOfFailedCallKeepCustomer();
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptEnumProviders", u"!bResult", hr);
                delete[] pwszProvName;
                return hr;
            }
            TraceStepSucceeded(s_wszName, u"CryptEnumProviders");

            try
            {
                if (!wstrAll.empty())
                    wstrAll += u"||";
                wstrAll += pwszProvName;
            }
            catch (...)
            {
                delete[] pwszProvName;
                throw;
            }
            delete[] pwszProvName;
        }
    }
    catch (const std::bad_alloc&)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!pwstrProvName", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }

    LPWSTR pwszAll = NewZeroedArray<WCHAR>(wstrAll.size() + 1ULL);
    if (!pwszAll)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!*pbstrAllCSPName", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    std::memcpy(pwszAll, wstrAll.data(), wstrAll.size() * sizeof(WCHAR));
    *ppwszAllCSPName = pwszAll;
    QM_TRACE_INFO(pwszAll);
    return S_OK;
}
