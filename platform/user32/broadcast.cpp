// HWND_BROADCAST across processes: every process with a top-level window listens on a
// datagram socket of its own (abstract, named after the process id) and leaves a file named
// for its process id in the session folder of each machine it has windows on. A broadcast
// post goes to this process's top-level windows and, as one datagram, to each listener
// found there; the listener's thread posts it to that process's top-level windows.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "qm/machine.h"
#include "thread_state.h"
#include "window_manager.h"

namespace qm::win
{
namespace
{
struct Datagram
{
    uint64_t msg;
    uint64_t wParam;
    uint64_t lParam;
};

std::filesystem::path ListenerFolder() { return qm::MachineDirectory() / "session" / "windows"; }

sockaddr_un AddressOf(pid_t pid, socklen_t* len)
{
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::string name = "qm-windows-" + std::to_string(pid);
    std::memcpy(a.sun_path + 1, name.data(), name.size());
    *len = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return a;
}

void PostToTopLevels(UINT msg, WPARAM wParam, LPARAM lParam)
{
    for (HWND top : TopLevelWindows())
        PostTo(top, msg, wParam, lParam);
}

std::mutex g_markerLock;
std::vector<std::filesystem::path> g_markers;
bool g_listening = false;

void RemoveMarkers()
{
    std::lock_guard lock(g_markerLock);
    std::error_code ec;
    for (const auto& m : g_markers)
        std::filesystem::remove(m, ec);
}

void Listen(int fd)
{
    for (;;)
    {
        Datagram d;
        ssize_t n = ::recv(fd, &d, sizeof d, 0);
        if (n == ssize_t(sizeof d))
            PostToTopLevels(UINT(d.msg), WPARAM(d.wParam), LPARAM(d.lParam));
        else if (n < 0 && errno != EINTR)
            return;
    }
}
} // namespace

void StartBroadcastListener()
{
    static std::once_flag once;
    std::call_once(once, [] {
        int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        socklen_t len = 0;
        sockaddr_un a = AddressOf(::getpid(), &len);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0)
        {
            ::close(fd);
            return;
        }
        g_listening = true;
        std::atexit(RemoveMarkers);
        std::thread(Listen, fd).detach();
    });
    if (!g_listening)
        return;
    // Known on the machine the window is made on (a process may change machines).
    std::filesystem::path marker = ListenerFolder() / std::to_string(::getpid());
    std::lock_guard lock(g_markerLock);
    if (std::find(g_markers.begin(), g_markers.end(), marker) != g_markers.end())
        return;
    std::error_code ec;
    std::filesystem::create_directories(marker.parent_path(), ec);
    std::ofstream(marker) << ::getpid() << "\n";
    g_markers.push_back(marker);
}

void Broadcast(UINT msg, WPARAM wParam, LPARAM lParam)
{
    PostToTopLevels(msg, wParam, lParam);
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    Datagram d{msg, uint64_t(wParam), uint64_t(lParam)};
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(ListenerFolder(), ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    {
        const std::string name = it->path().filename().string();
        char* end = nullptr;
        long pid = std::strtol(name.c_str(), &end, 10);
        if (!end || *end || pid <= 0 || pid == ::getpid())
            continue;
        socklen_t len = 0;
        sockaddr_un a = AddressOf(pid_t(pid), &len);
        if (::sendto(fd, &d, sizeof d, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), len) < 0 &&
            errno == ECONNREFUSED)
        {
            std::error_code gone;
            std::filesystem::remove(it->path(), gone); // its process has ended
        }
    }
    ::close(fd);
}
} // namespace qm::win
