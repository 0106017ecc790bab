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

std::string HexText(const unsigned char* data, size_t size)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < size; ++i)
    {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

int Fail(const std::string& message, int status)
{
    std::fprintf(stderr, "qmctl: %s\n", message.c_str());
    return status;
}
} // namespace qmctl
