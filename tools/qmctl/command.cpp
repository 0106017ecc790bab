#include "command.h"

#include <cstdio>

namespace qmctl
{
namespace
{
std::vector<Command>& Table()
{
    static std::vector<Command> table;
    return table;
}
} // namespace

CommandRegistration::CommandRegistration(const Command& command)
{
    Table().push_back(command);
}

const std::vector<Command>& Commands()
{
    return Table();
}

int Fail(const std::string& message, int status)
{
    std::fprintf(stderr, "qmctl: %s\n", message.c_str());
    return status;
}
} // namespace qmctl
