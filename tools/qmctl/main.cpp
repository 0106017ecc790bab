// qmctl: administration of a Quillmark machine (registry, and what later groups add).
// It runs elevated, as an administrator's tool does.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "qm/machine.h"

namespace
{
const char* const kIntro =
    "usage: qmctl [--machine DIR] COMMAND ...\n"
    "\n"
    "Administers the machine in DIR (default: $QM_MACHINE, else\n"
    "$XDG_DATA_HOME/quillmark/machine). qmctl runs elevated.\n"
    "Exit status: 0 success, 1 failure (message on stderr), 2 bad command line.\n";

void PrintHelp()
{
    std::fputs(kIntro, stdout);
    auto commands = qmctl::Commands();
    std::sort(commands.begin(), commands.end(),
              [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& c : commands)
        std::printf("\n%s\n%s", c.usage, c.help);
}
} // namespace

int main(int argc, char** argv)
{
    qmctl::Args args(argv + 1, argv + argc);
    size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0)
    {
        if (args[i] == "--help")
        {
            PrintHelp();
            return qmctl::kOk;
        }
        if (args[i] == "--machine" && i + 1 < args.size())
        {
            qm::SetMachineDirectory(args[i + 1]);
            i += 2;
            continue;
        }
        return qmctl::Fail("unknown option " + args[i] + " (see qmctl --help)", qmctl::kUsage);
    }
    if (i == args.size())
    {
        PrintHelp();
        return qmctl::kUsage;
    }
    qm::SetProcessElevated(true);
    for (const auto& command : qmctl::Commands())
        if (args[i] == command.name)
            return command.run(qmctl::Args(args.begin() + long(i) + 1, args.end()));
    return qmctl::Fail("unknown command " + args[i] + " (see qmctl --help)", qmctl::kUsage);
}
