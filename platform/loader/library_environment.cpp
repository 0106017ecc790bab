// The token library (SoftHSM2 standing in for the vendor's) keeps its token storage in the
// machine: its configuration file is the machine's softhsm2.conf, which qmctl token create
// writes. The library reads SOFTHSM2_CONF when it initialises, so each machine's file is named
// there before the library is loaded through the machine's system folder.
#include "library_environment.h"

#include <cstdlib>

#include "qm/machine.h"

namespace qm::loader
{
void PrepareSystemLibrary(const std::filesystem::path& file)
{
    std::error_code ec;
    auto target = std::filesystem::canonical(file, ec);
    if (ec || target.filename().string().rfind("libsofthsm2", 0) != 0)
        return;
    auto conf = qm::MachineDirectory() / "softhsm2.conf";
    if (std::filesystem::is_regular_file(conf, ec))
        ::setenv("SOFTHSM2_CONF", conf.c_str(), 1);
}
} // namespace qm::loader
