#include "system_links.h"

#include "qm/machine.h"

namespace qmctl
{
std::filesystem::path BuiltLibrary(const std::string& file)
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return exe.parent_path().parent_path() / "lib" / file;
}

std::string LinkSystemLibrary(const std::string& windowsName, const std::filesystem::path& target)
{
    std::error_code ec;
    if (!std::filesystem::exists(target, ec))
        return target.string() + ": no such library";
    auto dir = qm::MachineDirectory() / "drive_c" / "Windows" / "System32";
    std::filesystem::create_directories(dir, ec);
    auto link = dir / windowsName;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(std::filesystem::absolute(target), link, ec);
    return ec ? link.string() + ": " + ec.message() : "";
}
} // namespace qmctl
