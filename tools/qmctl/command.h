// qmctl's command table. Each command group lives in its own file and adds itself with a
// static CommandRegistration; main() finds commands by their first word.
#pragma once

#include <string>
#include <vector>

namespace qmctl
{
using Args = std::vector<std::string>;

struct Command
{
    const char* name;  // first word on the command line
    const char* usage; // one or more "qmctl NAME ..." lines for --help
    const char* help;  // what it does and what it prints
    int (*run)(const Args& args); // args after the name; returns the exit status
};

// Exit statuses shared by all commands.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1; // the operation failed (message on stderr)
inline constexpr int kUsage = 2;  // the command line was wrong

struct CommandRegistration
{
    explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& Commands();

// Upper-case hex of the bytes, two digits each.
std::string HexText(const unsigned char* data, size_t size);

// "qmctl: <message>" on stderr; returns kFailed or the given status.
int Fail(const std::string& message, int status = kFailed);
} // namespace qmctl
