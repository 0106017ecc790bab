// Errors of the resource compiler: always "file:line: error: message".
#pragma once

#include <stdexcept>
#include <string>

namespace qm::rc
{
struct SourceLocation
{
    std::string file;
    int line = 0;
};

class RcError : public std::runtime_error
{
public:
    RcError(const SourceLocation& where, const std::string& message)
        : std::runtime_error(where.file + ":" + std::to_string(where.line) + ": error: " + message), m_where(where)
    {
    }
    const SourceLocation& where() const { return m_where; }

private:
    SourceLocation m_where;
};
} // namespace qm::rc
