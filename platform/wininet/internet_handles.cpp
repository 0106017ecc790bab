#include "internet_handles.h"

#include <map>
#include <mutex>

#include "winbase.h"

namespace qm::wininet
{
namespace
{
struct Cell
{
    char unused;
};
std::mutex g_lock;
std::map<HINTERNET, std::shared_ptr<InternetObject>>& Handles()
{
    static auto* handles = new std::map<HINTERNET, std::shared_ptr<InternetObject>>;
    return *handles;
}
} // namespace

HINTERNET AddHandle(std::shared_ptr<InternetObject> object)
{
    HINTERNET handle = new Cell{};
    std::lock_guard guard(g_lock);
    Handles().emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<InternetObject> FindHandle(HINTERNET handle)
{
    std::lock_guard guard(g_lock);
    auto it = Handles().find(handle);
    return it == Handles().end() ? nullptr : it->second;
}
} // namespace qm::wininet

QMAPI BOOL WINAPI InternetCloseHandle(HINTERNET hInternet)
{
    using namespace qm::wininet;
    std::shared_ptr<InternetObject> object;
    {
        std::lock_guard guard(g_lock);
        auto it = Handles().find(hInternet);
        if (it == Handles().end())
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        Handles().erase(it);
    }
    delete static_cast<Cell*>(hInternet);
    return TRUE;
}
