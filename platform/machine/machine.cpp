#include "qm/machine.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace qm
{
namespace
{
std::mutex g_lock;
std::filesystem::path g_dir;
std::atomic<int> g_elevated{-1}; // -1: not decided yet

std::filesystem::path DefaultDirectory()
{
    if (const char* dir = std::getenv("QM_MACHINE"); dir && *dir)
        return dir;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "quillmark" / "machine";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".local/share/quillmark/machine";
}
} // namespace

std::filesystem::path MachineDirectory()
{
    std::lock_guard lock(g_lock);
    if (g_dir.empty())
    {
        g_dir = DefaultDirectory();
        std::error_code ec;
        std::filesystem::create_directories(g_dir, ec);
    }
    return g_dir;
}

void SetMachineDirectory(const std::filesystem::path& dir)
{
    std::lock_guard lock(g_lock);
    g_dir = std::filesystem::absolute(dir);
    std::error_code ec;
    std::filesystem::create_directories(g_dir, ec);
    ::setenv("QM_MACHINE", g_dir.c_str(), 1);
}

bool IsProcessElevated()
{
    int v = g_elevated.load();
    if (v < 0)
    {
        const char* e = std::getenv("QM_ELEVATED");
        v = (e && std::string(e) == "1") ? 1 : 0;
        g_elevated.store(v);
    }
    return v == 1;
}

void SetProcessElevated(bool elevated)
{
    g_elevated.store(elevated ? 1 : 0);
}
} // namespace qm
