#include "resource_registry.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "qm/module.h"

namespace qm::loader
{
namespace
{
struct Registry
{
    std::shared_mutex lock;
    std::map<uintptr_t, std::vector<ResourceDirectory>> modules;
};

// Never destroyed: modules unregister while the process ends.
Registry& TheRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}
} // namespace

std::vector<ResourceDirectory> ModuleResources(uintptr_t base, bool* known)
{
    auto& r = TheRegistry();
    std::shared_lock guard(r.lock);
    auto it = r.modules.find(base);
    if (known)
        *known = it != r.modules.end();
    return it == r.modules.end() ? std::vector<ResourceDirectory>{} : it->second;
}

std::optional<ResourceDirectory> DirectoryHolding(const void* entry)
{
    auto& r = TheRegistry();
    std::shared_lock guard(r.lock);
    for (const auto& [base, dirs] : r.modules)
        for (const auto& dir : dirs)
            if (dir.Holds(entry))
                return dir;
    return std::nullopt;
}
} // namespace qm::loader

namespace qm
{
void RegisterModuleResources(const void* anchor, const unsigned char* blob, size_t size)
{
    HMODULE module = ModuleFromAddress(anchor);
    auto dir = loader::ResourceDirectory::Parse(blob, size);
    if (!module || !dir)
    {
        std::fprintf(stderr, "qmwin: a module's resource directory could not be registered\n");
        return;
    }
    auto& r = loader::TheRegistry();
    std::unique_lock guard(r.lock);
    r.modules[reinterpret_cast<uintptr_t>(module)].push_back(*dir);
}

void UnregisterModuleResources(const unsigned char* blob)
{
    auto& r = loader::TheRegistry();
    std::unique_lock guard(r.lock);
    for (auto it = r.modules.begin(); it != r.modules.end(); ++it)
    {
        auto& dirs = it->second;
        std::erase_if(dirs, [&](const loader::ResourceDirectory& d) { return d.Begin() == blob; });
        if (dirs.empty())
        {
            r.modules.erase(it);
            return;
        }
    }
}
} // namespace qm
