#include "controller.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

namespace qm::etw
{
namespace
{
struct Registration
{
    WMIDPREQUEST callback = nullptr;
    PVOID context = nullptr;
    GUID guid{};
    TRACEHANDLE logger = 0; // 0 while not enabled
};

// g_control serialises enabling and disabling, which call into providers; g_state guards
// the tables and is never held across a provider's callback.
std::recursive_mutex g_control;
std::mutex g_state;
std::map<TRACEHANDLE, Registration> g_registrations;
std::map<TRACEHANDLE, Logger> g_loggers;
std::shared_ptr<Session> g_capture;
TRACEHANDLE g_captureLogger = 0;
std::shared_ptr<Session> g_env;
std::string g_envText;
TRACEHANDLE g_nextHandle = 0x100;

// QM_TRACE=<flag mask>:<file>; anything else enables nothing.
std::shared_ptr<Session> EnvironmentSession()
{
    const char* text = std::getenv("QM_TRACE");
    std::string value = text ? text : "";
    if (value == g_envText && (g_env || value.empty()))
        return g_env;
    g_envText = value;
    g_env.reset();
    auto colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
        return nullptr;
    std::string mask = value.substr(0, colon);
    char* end = nullptr;
    unsigned long flags = std::strtoul(mask.c_str(), &end, 0);
    if (!end || *end || flags == 0)
        return nullptr;
    g_env = std::make_shared<Session>();
    g_env->flags = ULONG(flags);
    g_env->file = value.substr(colon + 1);
    return g_env;
}

std::shared_ptr<Session> SessionFor(const GUID& guid)
{
    if (g_capture && (!g_capture->only || *g_capture->only == guid))
        return g_capture;
    return EnvironmentSession();
}

void Call(const Registration& reg, WMIDPREQUESTCODE code, TRACEHANDLE logger)
{
    WNODE_HEADER header{};
    header.BufferSize = sizeof header;
    header.HistoricalContext = logger;
    header.Guid = reg.guid;
    header.Flags = WNODE_FLAG_TRACED_GUID;
    ULONG size = sizeof header;
    reg.callback(code, reg.context, &size, &header);
}

void Enable(TRACEHANDLE regHandle, std::shared_ptr<Session> session)
{
    Registration reg;
    TRACEHANDLE logger;
    {
        std::lock_guard guard(g_state);
        auto it = g_registrations.find(regHandle);
        if (it == g_registrations.end())
            return;
        logger = g_nextHandle++;
        g_loggers[logger] = Logger{session, it->second.guid};
        it->second.logger = logger;
        reg = it->second;
    }
    Call(reg, WMI_ENABLE_EVENTS, logger);
}

void Disable(TRACEHANDLE regHandle)
{
    Registration reg;
    {
        std::lock_guard guard(g_state);
        auto it = g_registrations.find(regHandle);
        if (it == g_registrations.end() || !it->second.logger)
            return;
        reg = it->second;
    }
    Call(reg, WMI_DISABLE_EVENTS, reg.logger);
    std::lock_guard guard(g_state);
    g_loggers.erase(reg.logger);
    if (auto it = g_registrations.find(regHandle); it != g_registrations.end())
        it->second.logger = 0;
}

std::vector<TRACEHANDLE> RegistrationHandles()
{
    std::lock_guard guard(g_state);
    std::vector<TRACEHANDLE> handles;
    for (auto& [handle, reg] : g_registrations)
        handles.push_back(handle);
    return handles;
}
} // namespace

Session::~Session()
{
    if (fd >= 0)
        ::close(fd);
}

void Session::Emit(test::CapturedEvent&& event)
{
    std::lock_guard guard(lock);
    if (capture)
    {
        events.push_back(std::move(event));
        return;
    }
    if (fd < 0)
        fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    // One write per line: appends from several processes never interleave within a line.
    std::string line = std::move(event.line) + "\n";
    const char* p = line.data();
    size_t left = line.size();
    while (left)
    {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0)
            break;
        p += n;
        left -= size_t(n);
    }
}

std::optional<Logger> FindLogger(TRACEHANDLE handle)
{
    std::lock_guard guard(g_state);
    auto it = g_loggers.find(handle);
    if (it == g_loggers.end())
        return std::nullopt;
    return it->second;
}

ULONG Register(WMIDPREQUEST callback, PVOID context, const GUID& guid, TRACEHANDLE& handle)
{
    std::lock_guard control(g_control);
    std::shared_ptr<Session> session;
    {
        std::lock_guard guard(g_state);
        handle = g_nextHandle++;
        g_registrations[handle] = Registration{callback, context, guid, 0};
        session = SessionFor(guid);
    }
    if (session)
        Enable(handle, session);
    return ERROR_SUCCESS;
}

ULONG Unregister(TRACEHANDLE handle)
{
    std::lock_guard control(g_control);
    std::lock_guard guard(g_state);
    auto it = g_registrations.find(handle);
    if (it == g_registrations.end())
        return ERROR_INVALID_PARAMETER;
    g_loggers.erase(it->second.logger);
    g_registrations.erase(it);
    return ERROR_SUCCESS;
}

TRACEHANDLE InstallCapture(std::shared_ptr<Session> session)
{
    std::lock_guard control(g_control);
    for (TRACEHANDLE handle : RegistrationHandles())
        Disable(handle);
    std::vector<std::pair<TRACEHANDLE, std::shared_ptr<Session>>> plan;
    TRACEHANDLE id;
    {
        std::lock_guard guard(g_state);
        g_capture = std::move(session);
        g_captureLogger = g_capture ? g_nextHandle++ : 0;
        id = g_captureLogger;
        for (auto& [handle, reg] : g_registrations)
            if (auto s = SessionFor(reg.guid))
                plan.emplace_back(handle, s);
    }
    for (auto& [handle, s] : plan)
        Enable(handle, s);
    return id;
}

std::shared_ptr<Session> CaptureSession(TRACEHANDLE logger)
{
    std::lock_guard guard(g_state);
    return logger && logger == g_captureLogger ? g_capture : nullptr;
}
} // namespace qm::etw
