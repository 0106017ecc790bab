#include "Trace.h"

#include <atomic>

#include <evntrace.h>
#include <strsafe.h>

// {5C8F2A58-369A-44F0-9235-C05ECB1DD73E}
const GUID g_guidTraceProvider = {0x5C8F2A58, 0x369A, 0x44F0, {0x92, 0x35, 0xC0, 0x5E, 0xCB, 0x1D, 0xD7, 0x3E}};

namespace
{
std::atomic<TRACEHANDLE> g_hRegistration{0};
std::atomic<TRACEHANDLE> g_hLogger{0};
std::atomic<ULONG> g_ulEnableFlags{0};
std::atomic<bool> g_bEnabled{false};

const ULONG TRACE_EVENT_MESSAGE_FLAGS =
    TRACE_MESSAGE_SEQUENCE | TRACE_MESSAGE_GUID | TRACE_MESSAGE_SYSTEMINFO | TRACE_MESSAGE_TIMESTAMP;

ULONG WINAPI TraceControlCallback(WMIDPREQUESTCODE RequestCode, PVOID, ULONG*, PVOID Buffer)
{
    switch (RequestCode)
    {
    case WMI_ENABLE_EVENTS:
    {
        TRACEHANDLE hLogger = GetTraceLoggerHandle(Buffer);
        g_hLogger = hLogger;
        g_ulEnableFlags = GetTraceEnableFlags(hLogger);
        g_bEnabled = true;
        return ERROR_SUCCESS;
    }
    case WMI_DISABLE_EVENTS:
        g_bEnabled = false;
        g_ulEnableFlags = 0;
        g_hLogger = 0;
        return ERROR_SUCCESS;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

// Restores the thread's last error when a trace call leaves.
class CLastErrorKeeper
{
public:
    CLastErrorKeeper() : m_dwLastError(GetLastError()) {}
    ~CLastErrorKeeper() { SetLastError(m_dwLastError); }

private:
    DWORD m_dwLastError;
};
} // namespace

CTraceArg::CTraceArg(const WCHAR* lpwsz) : m_pvData(nullptr), m_cbData(0)
{
    if (!lpwsz)
    {
        lpwsz = u"(null)";
    }
    m_pvData = lpwsz;
    m_cbData = (std::char_traits<char16_t>::length(lpwsz) + 1) * sizeof(WCHAR);
}

CTraceArg::CTraceArg(const CHAR* lpsz) : m_pvData(nullptr), m_cbData(0)
{
    if (!lpsz)
    {
        m_wstrText = u"(null)";
        return;
    }
    DWORD dwLastError = GetLastError();
    int cchText = MultiByteToWideChar(CP_UTF8, 0, lpsz, -1, nullptr, 0);
    if (cchText > 1)
    {
        m_wstrText.resize((size_t)cchText);
        MultiByteToWideChar(CP_UTF8, 0, lpsz, -1, m_wstrText.data(), cchText);
        m_wstrText.pop_back(); // the terminator; c_str() supplies it
    }
    SetLastError(dwLastError);
}

TRACE_ARG CTraceArg::Get() const
{
    if (m_pvData)
    {
        return {m_pvData, m_cbData};
    }
    return {m_wstrText.c_str(), (m_wstrText.size() + 1) * sizeof(WCHAR)};
}

ULONG StartTracing()
{
    if (g_hRegistration != 0)
    {
        return ERROR_SUCCESS;
    }
    TRACE_GUID_REGISTRATION traceGuidReg = {&g_guidTraceProvider, nullptr};
    TRACEHANDLE hRegistration = 0;
    ULONG ulStatus = RegisterTraceGuidsW(TraceControlCallback, nullptr, &g_guidTraceProvider, 1, &traceGuidReg,
                                         nullptr, nullptr, &hRegistration);
    if (ulStatus == ERROR_SUCCESS)
    {
        g_hRegistration = hRegistration;
    }
    return ulStatus;
}

void StopTracing()
{
    TRACEHANDLE hRegistration = g_hRegistration.exchange(0);
    if (hRegistration != 0)
    {
        UnregisterTraceGuids(hRegistration);
    }
    g_bEnabled = false;
    g_ulEnableFlags = 0;
    g_hLogger = 0;
}

bool IsTraceFlagEnabled(ULONG ulFlag)
{
    return g_bEnabled && (g_ulEnableFlags & ulFlag) != 0;
}

void WriteTraceEvent(ULONG ulFlag, USHORT usMessage, const TRACE_ARG* a, ULONG cArgs)
{
    if (!IsTraceFlagEnabled(ulFlag))
    {
        return;
    }
    CLastErrorKeeper keeper;
    TRACEHANDLE h = g_hLogger;
    const ULONG f = TRACE_EVENT_MESSAGE_FLAGS;
    const GUID* g = &g_guidTraceProvider;
    switch (cArgs)
    {
    case 0:
        TraceMessage(h, f, g, usMessage, nullptr);
        break;
    case 1:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, nullptr);
        break;
    case 2:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, a[1].pvData, a[1].cbData, nullptr);
        break;
    case 3:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, a[1].pvData, a[1].cbData, a[2].pvData,
                     a[2].cbData, nullptr);
        break;
    case 4:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, a[1].pvData, a[1].cbData, a[2].pvData,
                     a[2].cbData, a[3].pvData, a[3].cbData, nullptr);
        break;
    case 5:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, a[1].pvData, a[1].cbData, a[2].pvData,
                     a[2].cbData, a[3].pvData, a[3].cbData, a[4].pvData, a[4].cbData, nullptr);
        break;
    case 6:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, a[1].pvData, a[1].cbData, a[2].pvData,
                     a[2].cbData, a[3].pvData, a[3].cbData, a[4].pvData, a[4].cbData, a[5].pvData, a[5].cbData,
                     nullptr);
        break;
    case 7:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, a[1].pvData, a[1].cbData, a[2].pvData,
                     a[2].cbData, a[3].pvData, a[3].cbData, a[4].pvData, a[4].cbData, a[5].pvData, a[5].cbData,
                     a[6].pvData, a[6].cbData, nullptr);
        break;
    default:
        TraceMessage(h, f, g, usMessage, a[0].pvData, a[0].cbData, a[1].pvData, a[1].cbData, a[2].pvData,
                     a[2].cbData, a[3].pvData, a[3].cbData, a[4].pvData, a[4].cbData, a[5].pvData, a[5].cbData,
                     a[6].pvData, a[6].cbData, a[7].pvData, a[7].cbData, nullptr);
        break;
    }
}

TraceHelper::TraceHelper(LPCWSTR lpwszName) : m_lpwszName(lpwszName)
{
    if (IsTraceFlagEnabled(TRACE_FLAG_FUNCTION))
    {
        CLastErrorKeeper keeper;
        QM_TRACE(TRACE_FLAG_FUNCTION, u"Enter", m_lpwszName);
    }
}

TraceHelper::~TraceHelper()
{
    if (IsTraceFlagEnabled(TRACE_FLAG_FUNCTION))
    {
        CLastErrorKeeper keeper;
        QM_TRACE(TRACE_FLAG_FUNCTION, u"Exit", m_lpwszName);
    }
}

void TraceResult(HRESULT hResult, LPCWSTR lpwszLabel)
{
    ULONG ulFlag = FAILED(hResult) ? TRACE_FLAG_FAILURE : TRACE_FLAG_INFO;
    if (IsTraceFlagEnabled(ulFlag))
    {
        CLastErrorKeeper keeper;
        QM_TRACE(ulFlag, lpwszLabel, hResult);
    }
}

void TraceStepSucceeded(LPCWSTR lpwszOperation, LPCWSTR lpwszStep)
{
    if (!IsTraceFlagEnabled(TRACE_FLAG_INFO))
    {
        return;
    }
    CLastErrorKeeper keeper;
    WCHAR wszLabel[TRACE_LABEL_CCH] = {0};
    StringCchPrintfW(wszLabel, TRACE_LABEL_CCH, u"%ws - %ws", lpwszOperation, lpwszStep);
    TraceResult(S_OK, wszLabel);
}

void TraceStepFailed(LPCWSTR lpwszSourceUnit, int nLine, LPCWSTR lpwszOperation, LPCWSTR lpwszStep,
                     LPCWSTR lpwszReason, HRESULT hResult)
{
    ULONG ulFlag = FAILED(hResult) ? TRACE_FLAG_FAILURE : TRACE_FLAG_INFO;
    if (!IsTraceFlagEnabled(ulFlag))
    {
        return;
    }
    CLastErrorKeeper keeper;
    WCHAR wszLabel[TRACE_LABEL_CCH] = {0};
    StringCchPrintfW(wszLabel, TRACE_LABEL_CCH, u"[%ws(%d):] %ws - %ws [Reason:%ws]", lpwszSourceUnit, nLine,
                     lpwszOperation, lpwszStep, lpwszReason);
    TraceResult(hResult, wszLabel);
}
