// The printf engine behind the wide formatting functions (runtime, user32, strsafe,
// FormatMessage inserts). Internal to the stand-in.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace qm::crt
{
// Where the engine takes its arguments from.
class ArgSource
{
public:
    virtual ~ArgSource() = default;
    // size in bytes: 1, 2, 4 or 8.
    virtual unsigned long long Integer(int size) = 0;
    virtual double Double() = 0;
    virtual const void* Pointer() = 0;
};

class VaListArgs final : public ArgSource
{
public:
    explicit VaListArgs(va_list args) { va_copy(m_args, args); }
    ~VaListArgs() override { va_end(m_args); }
    VaListArgs(const VaListArgs&) = delete;
    VaListArgs& operator=(const VaListArgs&) = delete;
    unsigned long long Integer(int size) override;
    double Double() override;
    const void* Pointer() override;

private:
    va_list m_args;
};

// Stores at most `capacity` characters, counts all of them.
struct WideOutput
{
    char16_t* buffer = nullptr;
    size_t capacity = 0;
    size_t count = 0;

    void Put(char16_t c)
    {
        if (count < capacity)
            buffer[count] = c;
        ++count;
    }
};

enum class NarrowText
{
    Latin1,      // the MSVC runtime in its "C" locale: one byte, one character
    AnsiCodePage // user32 and FormatMessageA: CP_ACP
};

struct FormatRules
{
    bool floatingPoint = true;        // user32's wsprintf has none
    bool unknownIsLiteral = false;    // wsprintf copies an unknown conversion; the runtime fails
    NarrowText narrow = NarrowText::Latin1;
};

// Formats into out; false on an invalid format (out then holds a partial text).
bool FormatWide(const char16_t* format, ArgSource& args, const FormatRules& rules, WideOutput& out);
} // namespace qm::crt
