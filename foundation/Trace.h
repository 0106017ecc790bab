// Event tracing of both plug-ins: one provider, flag levels, scope and result events.
#pragma once

#include <string>
#include <type_traits>

#include <windows.h>

// Flag bits a controller enables.
#define TRACE_FLAG_ERROR 0x00000001    // errors found by the plug-in's own checks
#define TRACE_FLAG_FAILURE 0x00000002  // failed steps and failed filter checks
#define TRACE_FLAG_INFO 0x00000004     // successful steps and values worked on
#define TRACE_FLAG_FUNCTION 0x00000008 // entry and exit of every operation

// {5C8F2A58-369A-44F0-9235-C05ECB1DD73E}
extern const GUID g_guidTraceProvider;

// Registers / unregisters the provider (NP_Initialize, NP_Shutdown).
ULONG StartTracing();
void StopTracing();

// True when a controller has enabled the provider with this flag bit.
bool IsTraceFlagEnabled(ULONG ulFlag);

// One event argument as it is handed to the trace sink.
struct TRACE_ARG
{
    const void* pvData;
    SIZE_T cbData;
};

// One event argument with the storage it needs while the event is written. The trace
// format knows UTF-16 text only: a UTF-8 text of 4 or 8 bytes would read as a number, so
// narrow texts are carried as UTF-16.
class CTraceArg
{
public:
    CTraceArg(const WCHAR* lpwsz);
    CTraceArg(const CHAR* lpsz);

    template <class T>
        requires std::is_arithmetic_v<T>
    CTraceArg(const T& value) : m_pvData(&value), m_cbData(sizeof(value))
    {
    }

    CTraceArg(const CTraceArg&) = delete;
    CTraceArg& operator=(const CTraceArg&) = delete;

    TRACE_ARG Get() const;

private:
    const void* m_pvData;
    SIZE_T m_cbData;
    std::u16string m_wstrText; // the UTF-16 form of a narrow text
};

// Writes one event; at most 8 arguments are carried.
void WriteTraceEvent(ULONG ulFlag, USHORT usMessage, const TRACE_ARG* rgArgs, ULONG cArgs);

template <class... T>
inline void TraceEvent(ULONG ulFlag, USHORT usMessage, const T&... args)
{
    if (!IsTraceFlagEnabled(ulFlag))
    {
        return;
    }
    if constexpr (sizeof...(T) == 0)
    {
        WriteTraceEvent(ulFlag, usMessage, nullptr, 0);
    }
    else
    {
        const CTraceArg rgHeld[] = {CTraceArg(args)...};
        TRACE_ARG rgArgs[sizeof...(T)];
        for (size_t i = 0; i < sizeof...(T); ++i)
        {
            rgArgs[i] = rgHeld[i].Get();
        }
        WriteTraceEvent(ulFlag, usMessage, rgArgs, sizeof...(T));
    }
}

// The message number of an event is its line within its source unit.
#define QM_TRACE(flag, ...) TraceEvent((flag), (USHORT)__LINE__, ##__VA_ARGS__)
#define QM_TRACE_ERROR(...) QM_TRACE(TRACE_FLAG_ERROR, ##__VA_ARGS__)
#define QM_TRACE_INFO(...) QM_TRACE(TRACE_FLAG_INFO, ##__VA_ARGS__)

// Entry and exit events of one operation; the thread's last error survives both.
class TraceHelper
{
public:
    explicit TraceHelper(LPCWSTR lpwszName);
    virtual ~TraceHelper();

    TraceHelper(const TraceHelper&) = delete;
    TraceHelper& operator=(const TraceHelper&) = delete;

private:
    LPCWSTR m_lpwszName;
};

// One step's outcome: flag 2 when the HRESULT is negative, else flag 4.
void TraceResult(HRESULT hResult, LPCWSTR lpwszLabel);

// Composite labels, formatted only when the event would be written:
// success "%ws - %ws", failure "[%ws(%d):] %ws - %ws [Reason:%ws]".
void TraceStepSucceeded(LPCWSTR lpwszOperation, LPCWSTR lpwszStep);
void TraceStepFailed(LPCWSTR lpwszSourceUnit, int nLine, LPCWSTR lpwszOperation, LPCWSTR lpwszStep,
                     LPCWSTR lpwszReason, HRESULT hResult);

// Size of a composite label buffer, in wide characters.
#define TRACE_LABEL_CCH 512

// A failed step with the line of its check.
#define TRACE_STEP_FAILED(unit, operation, step, reason, hr) \
    TraceStepFailed((unit), __LINE__, (operation), (step), (reason), (hr))
