// Reads a resource script into tokens: comments, #include, #define (object-like macros),
// #undef, #if/#ifdef/#ifndef/#elif/#else/#endif and #pragma code_page. Included headers
// (.h, .c) contribute only their directives, as with the Windows resource compiler.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "token.h"

namespace qm::rc
{
struct CompileOptions
{
    std::vector<std::filesystem::path> includeDirs;
    std::map<std::string, std::string> defines; // -D NAME=VALUE
};

class Preprocessor
{
public:
    explicit Preprocessor(const CompileOptions& options);

    std::vector<Token> Run(const std::filesystem::path& file);
    std::vector<Token> RunText(std::string_view text, const std::string& fileName);
    // Every file read, the script first.
    const std::vector<std::filesystem::path>& Dependencies() const { return m_dependencies; }

private:
    struct Conditional
    {
        bool parentActive;
        bool active;
        bool taken;
        bool sawElse;
        SourceLocation where;
    };

    void ProcessFile(const std::filesystem::path& path, const SourceLocation* includedFrom, bool directivesOnly);
    void ProcessText(std::string_view text, const std::string& fileName, const std::filesystem::path& dir,
                     bool directivesOnly);
    void Directive(std::string_view line, const SourceLocation& where, const std::filesystem::path& dir);
    void Include(std::string_view rest, const SourceLocation& where, const std::filesystem::path& dir);
    bool Active() const;
    long long EvalCondition(std::string_view expr, const SourceLocation& where);
    void Emit(Token token, bool directivesOnly, std::vector<Token>& out, int depth);

    CompileOptions m_options;
    std::map<std::string, std::vector<Token>> m_macros;
    std::vector<Conditional> m_conditionals;
    std::vector<Token> m_tokens;
    std::vector<std::filesystem::path> m_dependencies;
    int m_includeDepth = 0;
};

// Splits one source line range into tokens (exposed for the directive evaluator).
std::vector<Token> TokenizeLine(std::string_view text, const SourceLocation& where);
} // namespace qm::rc
