// Test hook for event tracing: acts as the controller, enables the registered providers with a
// flag mask and keeps their events in memory instead of writing them to a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../evntrace.h"

namespace qm::test
{
struct QMEXPORT CapturedEvent
{
    GUID provider{};            // control GUID of the provider that wrote the event
    ULONG enableFlags = 0;      // the provider's enable flags when it wrote the event
    ULONG messageFlags = 0;     // TraceMessage's MessageFlags
    GUID messageGuid{};         // the source (all zero when TraceMessage had none)
    USHORT messageNumber = 0;
    std::vector<std::vector<BYTE>> args; // each (data, length) argument, raw
    std::string line;           // the line the file would get, without its line feed

    // Conveniences for assertions; they throw std::out_of_range for a missing argument.
    uint32_t ArgUInt32(size_t i) const;       // a 4-byte argument
    uint64_t ArgUInt64(size_t i) const;       // an 8-byte argument
    std::u16string ArgText(size_t i) const;   // a UTF-16 argument, without its terminator
};

// While a capture lives, every provider (or only `provider`, when given) is enabled with
// `enableFlags` and `level`: those registered already get WMI_ENABLE_EVENTS now, later ones
// at registration. Destruction sends WMI_DISABLE_EVENTS and gives the providers back to the
// machine's controller (QM_TRACE). Captures do not nest.
class QMEXPORT TraceCapture
{
public:
    explicit TraceCapture(ULONG enableFlags, UCHAR level = TRACE_LEVEL_VERBOSE, const GUID* provider = nullptr);
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<CapturedEvent> Events() const;
    void Clear();

private:
    TRACEHANDLE m_id;
};
} // namespace qm::test
