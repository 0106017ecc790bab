// The machine's trace controller: which providers are registered, which session (the
// QM_TRACE file or a test capture) enables each of them, and where their events go.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "evntrace.h"
#include "qm/trace_capture.h"

namespace qm::etw
{
struct Session
{
    ULONG flags = 0;
    UCHAR level = TRACE_LEVEL_VERBOSE;
    std::optional<GUID> only; // a capture may enable one provider only
    std::string file;         // empty for a capture
    bool capture = false;

    std::mutex lock;
    int fd = -1;
    std::vector<test::CapturedEvent> events;

    ~Session();
    void Emit(test::CapturedEvent&& event);
};

struct Logger
{
    std::shared_ptr<Session> session;
    GUID provider{};
};

// The session and provider behind a logger handle; nullopt once it was disabled.
std::optional<Logger> FindLogger(TRACEHANDLE handle);

ULONG Register(WMIDPREQUEST callback, PVOID context, const GUID& guid, TRACEHANDLE& handle);
ULONG Unregister(TRACEHANDLE handle);

// The capture hook: puts `session` in charge (nullptr gives the providers back to QM_TRACE).
TRACEHANDLE InstallCapture(std::shared_ptr<Session> session);
std::shared_ptr<Session> CaptureSession(TRACEHANDLE logger);
} // namespace qm::etw
