#include "module_table.h"

#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

namespace qm::loader
{
namespace
{
struct RawModule
{
    uintptr_t base;
    std::vector<std::pair<uintptr_t, uintptr_t>> segments; // [begin, end) of PT_LOAD segments
    std::string name;
    bool isProgram;
};

std::string ProgramPath()
{
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::string AbsolutePath(const std::string& name)
{
    std::error_code ec;
    auto abs = std::filesystem::absolute(name, ec);
    return ec ? name : abs.lexically_normal().string();
}

std::vector<RawModule> Walk()
{
    std::vector<RawModule> modules;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto& list = *static_cast<std::vector<RawModule>*>(data);
            RawModule m{0, {}, info->dlpi_name ? info->dlpi_name : "", list.empty()};
            uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
            bool first = true;
            for (int i = 0; i < info->dlpi_phnum; ++i)
            {
                const auto& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_LOAD)
                    continue;
                uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
                m.segments.emplace_back(begin, begin + ph.p_memsz);
                if (first)
                    m.base = begin & ~(page - 1);
                first = false;
            }
            if (!m.segments.empty())
                list.push_back(std::move(m));
            return 0;
        },
        &modules);
    return modules;
}

// The loaded objects. Walking them all is costly in a process with many libraries (every
// resource or COM lookup asks), and the list only changes when the dynamic linker adds or
// removes an object, which it counts: the last walk is kept until the counts move.
std::shared_ptr<const std::vector<RawModule>> Snapshot()
{
    struct Counts
    {
        unsigned long long adds = 0, subs = 0;
    } now;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* counts = static_cast<Counts*>(data);
            counts->adds = info->dlpi_adds;
            counts->subs = info->dlpi_subs;
            return 1; // the counts are the same in every entry
        },
        &now);
    static std::mutex lock;
    static Counts walked;
    static std::shared_ptr<const std::vector<RawModule>> last;
    std::lock_guard guard(lock);
    if (!last || now.adds != walked.adds || now.subs != walked.subs)
    {
        last = std::make_shared<const std::vector<RawModule>>(Walk());
        walked = now;
    }
    return last;
}

ModuleInfo Describe(const RawModule& m)
{
    ModuleInfo info;
    info.base = m.base;
    info.isProgram = m.isProgram;
    info.path = m.isProgram ? ProgramPath() : AbsolutePath(m.name);
    return info;
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && Lower(s.substr(s.size() - suffix.size())) == suffix;
}
} // namespace

std::vector<ModuleInfo> LoadedModules()
{
    std::vector<ModuleInfo> out;
    for (const auto& m : *Snapshot())
        if (m.isProgram || m.name.find('/') != std::string::npos)
            out.push_back(Describe(m));
    return out;
}

std::optional<ModuleInfo> ModuleContaining(const void* address)
{
    auto a = reinterpret_cast<uintptr_t>(address);
    for (const auto& m : *Snapshot())
        for (const auto& [begin, end] : m.segments)
            if (a >= begin && a < end)
                return Describe(m);
    return std::nullopt;
}

std::optional<ModuleInfo> ModuleAt(uintptr_t base)
{
    if (base == 0)
        return std::nullopt;
    for (const auto& m : *Snapshot())
        if (m.base == base)
            return Describe(m);
    return std::nullopt;
}

ModuleInfo ProgramModule()
{
    for (const auto& m : *Snapshot())
        if (m.isProgram)
            return Describe(m);
    return {};
}

std::vector<std::string> LibraryFileNames(const std::string& name)
{
    std::vector<std::string> names;
    std::string base = name;
    // A trailing dot means "no extension" on Windows.
    bool noExtension = !base.empty() && base.back() == '.';
    if (noExtension)
        base.pop_back();
    names.push_back(base);
    std::string file = std::filesystem::path(base).filename().string();
    if (EndsWithNoCase(file, ".dll"))
        names.push_back(base.substr(0, base.size() - 4) + ".so");
    else if (!noExtension && file.find('.') == std::string::npos)
        names.push_back(base + ".so");
    return names;
}

std::optional<ModuleInfo> ModuleNamed(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    auto modules = LoadedModules();
    bool isPath = name.find('/') != std::string::npos;
    for (const auto& candidate : LibraryFileNames(name))
    {
        for (const auto& m : modules)
        {
            if (m.path.empty())
                continue;
            if (isPath)
            {
                std::error_code ec;
                if (std::filesystem::equivalent(candidate, m.path, ec) && !ec)
                    return m;
            }
            else if (Lower(std::filesystem::path(m.path).filename().string()) == Lower(candidate))
                return m;
        }
    }
    return std::nullopt;
}
} // namespace qm::loader
