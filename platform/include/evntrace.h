// Event tracing (advapi32), the classic provider API that WPP-style providers use.
// A provider registers its control GUID with a request callback; when a controller enables
// it, the callback receives WMI_ENABLE_EVENTS with a WNODE_HEADER whose HistoricalContext
// is the logger handle, from which the provider reads its enable flags and level. Events
// are written with TraceMessage; nothing is formatted while no controller has enabled it.
#pragma once

#include <cstdarg>

#include "windef.h"
#include "winerror.h"

typedef ULONGLONG TRACEHANDLE;
typedef TRACEHANDLE* PTRACEHANDLE;
typedef ULONGLONG ULONG64;

#define INVALID_PROCESSTRACE_HANDLE ((TRACEHANDLE)-1)

typedef enum
{
    WMI_GET_ALL_DATA = 0,
    WMI_GET_SINGLE_INSTANCE = 1,
    WMI_SET_SINGLE_INSTANCE = 2,
    WMI_SET_SINGLE_ITEM = 3,
    WMI_ENABLE_EVENTS = 4,
    WMI_DISABLE_EVENTS = 5,
    WMI_ENABLE_COLLECTION = 6,
    WMI_DISABLE_COLLECTION = 7,
    WMI_REGINFO = 8,
    WMI_EXECUTE_METHOD = 9
} WMIDPREQUESTCODE;

// Request callback of a provider. Buffer points at a WNODE_HEADER.
typedef ULONG(WINAPI* WMIDPREQUEST)(WMIDPREQUESTCODE RequestCode, PVOID RequestContext, ULONG* BufferSize,
                                    PVOID Buffer);

typedef struct _WNODE_HEADER
{
    ULONG BufferSize;
    ULONG ProviderId;
    union
    {
        ULONG64 HistoricalContext; // the logger handle
        struct
        {
            ULONG Version;
            ULONG Linkage;
        };
    };
    union
    {
        ULONG CountLost;
        HANDLE KernelHandle;
        LONGLONG TimeStamp;
    };
    GUID Guid;
    ULONG ClientContext;
    ULONG Flags;
} WNODE_HEADER, *PWNODE_HEADER;

#define WNODE_FLAG_TRACED_GUID 0x00020000

typedef struct _TRACE_GUID_REGISTRATION
{
    LPCGUID Guid;
    HANDLE RegHandle;
} TRACE_GUID_REGISTRATION, *PTRACE_GUID_REGISTRATION;

// MessageFlags of TraceMessage: which optional fields the event line carries.
#define TRACE_MESSAGE_SEQUENCE 1
#define TRACE_MESSAGE_GUID 2
#define TRACE_MESSAGE_COMPONENTID 4
#define TRACE_MESSAGE_TIMESTAMP 8
#define TRACE_MESSAGE_PERFORMANCE_TIMESTAMP 16
#define TRACE_MESSAGE_SYSTEMINFO 32
#define TRACE_MESSAGE_POINTER32 0x0040
#define TRACE_MESSAGE_POINTER64 0x0080
#define TRACE_MESSAGE_FLAG_MASK 0xFFFF

#define TRACE_LEVEL_NONE 0
#define TRACE_LEVEL_CRITICAL 1
#define TRACE_LEVEL_FATAL 1
#define TRACE_LEVEL_ERROR 2
#define TRACE_LEVEL_WARNING 3
#define TRACE_LEVEL_INFORMATION 4
#define TRACE_LEVEL_VERBOSE 5

QMAPI ULONG WINAPI RegisterTraceGuidsW(WMIDPREQUEST RequestAddress, PVOID RequestContext, LPCGUID ControlGuid,
                                       ULONG GuidCount, PTRACE_GUID_REGISTRATION TraceGuidReg,
                                       LPCWSTR MofImagePath, LPCWSTR MofResourceName,
                                       PTRACEHANDLE RegistrationHandle);
QMAPI ULONG WINAPI UnregisterTraceGuids(TRACEHANDLE RegistrationHandle);

// Buffer: the WNODE_HEADER handed to the request callback.
QMAPI TRACEHANDLE WINAPI GetTraceLoggerHandle(PVOID Buffer);
QMAPI ULONG WINAPI GetTraceEnableFlags(TRACEHANDLE LoggerHandle);
QMAPI UCHAR WINAPI GetTraceEnableLevel(TRACEHANDLE LoggerHandle);

// The variable arguments are (PVOID data, SIZE_T length) pairs ended by a NULL pointer.
QMAPI ULONG WINAPIV TraceMessage(TRACEHANDLE LoggerHandle, ULONG MessageFlags, LPCGUID MessageGuid,
                                 USHORT MessageNumber, ...);
QMAPI ULONG WINAPI TraceMessageVa(TRACEHANDLE LoggerHandle, ULONG MessageFlags, LPCGUID MessageGuid,
                                  USHORT MessageNumber, va_list MessageArgList);

#define RegisterTraceGuids RegisterTraceGuidsW
