// The provider side of event tracing.
#include <cstring>

#include "controller.h"
#include "format.h"

using namespace qm::etw;

QMAPI ULONG WINAPI RegisterTraceGuidsW(WMIDPREQUEST RequestAddress, PVOID RequestContext, LPCGUID ControlGuid,
                                       ULONG GuidCount, PTRACE_GUID_REGISTRATION TraceGuidReg,
                                       LPCWSTR MofImagePath, LPCWSTR MofResourceName,
                                       PTRACEHANDLE RegistrationHandle)
{
    if (!RequestAddress || !ControlGuid || !RegistrationHandle || (GuidCount && !TraceGuidReg))
        return ERROR_INVALID_PARAMETER;
    *RegistrationHandle = 0;
    TRACEHANDLE handle = 0;
    // The event classes get handles of their own; nothing refers to them afterwards.
    for (ULONG i = 0; i < GuidCount; ++i)
        TraceGuidReg[i].RegHandle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7000 + i));
    ULONG status = Register(RequestAddress, RequestContext, *ControlGuid, handle);
    if (status == ERROR_SUCCESS)
        *RegistrationHandle = handle;
    return status;
}

QMAPI ULONG WINAPI UnregisterTraceGuids(TRACEHANDLE RegistrationHandle)
{
    return Unregister(RegistrationHandle);
}

QMAPI TRACEHANDLE WINAPI GetTraceLoggerHandle(PVOID Buffer)
{
    if (!Buffer)
        return TRACEHANDLE(INVALID_PROCESSTRACE_HANDLE);
    TRACEHANDLE handle = static_cast<const WNODE_HEADER*>(Buffer)->HistoricalContext;
    return FindLogger(handle) ? handle : TRACEHANDLE(INVALID_PROCESSTRACE_HANDLE);
}

QMAPI ULONG WINAPI GetTraceEnableFlags(TRACEHANDLE LoggerHandle)
{
    auto logger = FindLogger(LoggerHandle);
    return logger ? logger->session->flags : 0;
}

QMAPI UCHAR WINAPI GetTraceEnableLevel(TRACEHANDLE LoggerHandle)
{
    auto logger = FindLogger(LoggerHandle);
    return logger ? logger->session->level : 0;
}

QMAPI ULONG WINAPI TraceMessageVa(TRACEHANDLE LoggerHandle, ULONG MessageFlags, LPCGUID MessageGuid,
                                  USHORT MessageNumber, va_list MessageArgList)
{
    // Not enabled: the arguments are not even looked at.
    auto logger = FindLogger(LoggerHandle);
    if (!logger)
        return ERROR_INVALID_HANDLE;
    qm::test::CapturedEvent event;
    event.provider = logger->provider;
    event.enableFlags = logger->session->flags;
    event.messageFlags = MessageFlags;
    if (MessageGuid)
        event.messageGuid = *MessageGuid;
    event.messageNumber = MessageNumber;
    while (PVOID data = va_arg(MessageArgList, PVOID))
    {
        SIZE_T size = va_arg(MessageArgList, SIZE_T);
        auto* bytes = static_cast<const BYTE*>(data);
        event.args.emplace_back(bytes, bytes + size);
    }
    event.line = FormatLine(event.provider, MessageFlags, MessageGuid, MessageNumber, event.args);
    logger->session->Emit(std::move(event));
    return ERROR_SUCCESS;
}

QMAPI ULONG WINAPIV TraceMessage(TRACEHANDLE LoggerHandle, ULONG MessageFlags, LPCGUID MessageGuid,
                                 USHORT MessageNumber, ...)
{
    va_list args;
    // The declared signature ends in a USHORT; on this ABI va_start does not depend on its type.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wvarargs"
    va_start(args, MessageNumber);
#pragma GCC diagnostic pop
    ULONG status = TraceMessageVa(LoggerHandle, MessageFlags, MessageGuid, MessageNumber, args);
    va_end(args);
    return status;
}
