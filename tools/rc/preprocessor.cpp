#include "preprocessor.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "expression.h"

namespace qm::rc
{
namespace
{
constexpr int kMaxIncludeDepth = 32;
constexpr int kMaxExpansionDepth = 64;

// Headers of the Windows SDK that scripts include; the compiler knows their constants.
const std::set<std::string> kSystemHeaders = {
    "windows.h", "winres.h", "winresrc.h", "afxres.h", "winver.h", "winuser.h", "winnt.h", "commctrl.h",
    "dde.h",     "dlgs.h",   "winuser.rh", "winnt.rh", "verrsrc.h", "ntverp.h", "common.ver"};

bool IsIdentStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// Replaces comments by spaces (keeping line breaks), leaving string literals alone.
std::string StripComments(std::string_view text, const std::string& fileName, bool charLiterals)
{
    std::string out(text);
    int line = 1;
    size_t i = 0;
    while (i < out.size())
    {
        char c = out[i];
        if (c == '\n')
        {
            ++line;
            ++i;
        }
        else if (c == '"' || (charLiterals && c == '\''))
        {
            char quote = c;
            ++i;
            while (i < out.size() && out[i] != '\n')
            {
                if (out[i] == '\\' && i + 1 < out.size() && out[i + 1] != '\n')
                    i += 2;
                else if (out[i] == quote && quote == '"' && i + 1 < out.size() && out[i + 1] == '"')
                    i += 2;
                else if (out[i] == quote)
                {
                    ++i;
                    break;
                }
                else
                    ++i;
            }
        }
        else if (c == '/' && i + 1 < out.size() && out[i + 1] == '/')
        {
            while (i < out.size() && out[i] != '\n')
                out[i++] = ' ';
        }
        else if (c == '/' && i + 1 < out.size() && out[i + 1] == '*')
        {
            int startLine = line;
            out[i] = out[i + 1] = ' ';
            i += 2;
            bool closed = false;
            while (i < out.size())
            {
                if (out[i] == '*' && i + 1 < out.size() && out[i + 1] == '/')
                {
                    out[i] = out[i + 1] = ' ';
                    i += 2;
                    closed = true;
                    break;
                }
                if (out[i] == '\n')
                    ++line;
                else
                    out[i] = ' ';
                ++i;
            }
            if (!closed)
                throw RcError({fileName, startLine}, "unterminated comment");
        }
        else
            ++i;
    }
    return out;
}

uint32_t ParseNumber(std::string_view text, const SourceLocation& where, bool& isLong)
{
    size_t i = 0;
    uint64_t value = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        i = 2;
    }
    size_t digits = 0;
    for (; i < text.size(); ++i)
    {
        char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            d = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            break;
        value = value * base + d;
        ++digits;
        if (value > 0xFFFFFFFFull)
            throw RcError(where, "number '" + std::string(text) + "' does not fit in 32 bits");
    }
    isLong = false;
    for (; i < text.size(); ++i)
    {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        if (c == 'L')
            isLong = true;
        else if (c != 'U')
            throw RcError(where, "malformed number '" + std::string(text) + "'");
    }
    if (digits == 0)
        throw RcError(where, "malformed number '" + std::string(text) + "'");
    return static_cast<uint32_t>(value);
}
} // namespace

std::vector<Token> TokenizeLine(std::string_view text, const SourceLocation& where)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size())
    {
        char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)))
        {
            ++i;
            continue;
        }
        Token t;
        t.where = where;
        bool wide = (c == 'L' || c == 'l') && i + 1 < text.size() && text[i + 1] == '"';
        if (c == '"' || wide)
        {
            if (wide)
                ++i;
            size_t start = ++i;
            bool closed = false;
            while (i < text.size())
            {
                if (text[i] == '\\' && i + 1 < text.size())
                    i += 2;
                else if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"')
                    i += 2;
                else if (text[i] == '"')
                {
                    closed = true;
                    break;
                }
                else
                    ++i;
            }
            if (!closed)
                throw RcError(where, "unterminated string literal");
            t.kind = TokenKind::String;
            t.text = std::string(text.substr(start, i - start));
            t.isWide = wide;
            ++i;
        }
        else if (IsIdentStart(c))
        {
            size_t start = i;
            while (i < text.size() && IsIdentChar(text[i]))
                ++i;
            t.kind = TokenKind::Identifier;
            t.text = std::string(text.substr(start, i - start));
        }
        else if (std::isdigit(static_cast<unsigned char>(c)))
        {
            size_t start = i;
            while (i < text.size() && IsIdentChar(text[i]))
                ++i;
            t.kind = TokenKind::Number;
            t.text = std::string(text.substr(start, i - start));
            t.value = ParseNumber(t.text, where, t.isLong);
        }
        else
        {
            static const char* kTwo[] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>"};
            t.kind = TokenKind::Punct;
            for (const char* two : kTwo)
                if (text.substr(i, 2) == two)
                    t.text = two;
            if (t.text.empty())
            {
                if (std::string_view(",{}()|&+-*/~!=<>^%").find(c) == std::string_view::npos)
                    throw RcError(where, std::string("unexpected character '") + c + "'");
                t.text = std::string(1, c);
            }
            i += t.text.size();
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

Preprocessor::Preprocessor(const CompileOptions& options) : m_options(options)
{
    for (const auto& [name, value] : options.defines)
        m_macros[name] = TokenizeLine(value.empty() ? "1" : value, {"<command line>", 0});
}

std::vector<Token> Preprocessor::Run(const std::filesystem::path& file)
{
    ProcessFile(file, nullptr, false);
    return std::move(m_tokens);
}

std::vector<Token> Preprocessor::RunText(std::string_view text, const std::string& fileName)
{
    ProcessText(text, fileName, std::filesystem::path(fileName).parent_path(), false);
    return std::move(m_tokens);
}

void Preprocessor::ProcessFile(const std::filesystem::path& path, const SourceLocation* includedFrom,
                               bool directivesOnly)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        if (includedFrom)
            throw RcError(*includedFrom, "cannot open include file '" + path.string() + "'");
        throw RcError({path.string(), 0}, "cannot open resource script");
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    m_dependencies.push_back(std::filesystem::absolute(path).lexically_normal());
    ProcessText(buffer.str(), path.string(), path.parent_path(), directivesOnly);
}

bool Preprocessor::Active() const
{
    return m_conditionals.empty() || m_conditionals.back().active;
}

void Preprocessor::ProcessText(std::string_view rawText, const std::string& fileName,
                               const std::filesystem::path& dir, bool directivesOnly)
{
    std::string_view bom = "\xEF\xBB\xBF";
    if (rawText.substr(0, 3) == bom)
        rawText.remove_prefix(3);
    std::string text = StripComments(rawText, fileName, directivesOnly);
    size_t conditionalsAtStart = m_conditionals.size();
    int line = 0;
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string current = text.substr(pos, end - pos);
        ++line;
        int firstLine = line;
        pos = end + 1;
        if (!current.empty() && current.back() == '\r')
            current.pop_back();
        auto trimmed = Trim(current);
        SourceLocation where{fileName, firstLine};
        if (!trimmed.empty() && trimmed.front() == '#')
        {
            // Directives continue over lines that end with a backslash.
            std::string directive(trimmed);
            while (!directive.empty() && directive.back() == '\\' && pos < text.size())
            {
                directive.pop_back();
                size_t e = text.find('\n', pos);
                if (e == std::string::npos)
                    e = text.size();
                std::string next = text.substr(pos, e - pos);
                if (!next.empty() && next.back() == '\r')
                    next.pop_back();
                directive += next;
                pos = e + 1;
                ++line;
            }
            Directive(std::string_view(directive).substr(1), where, dir);
            continue;
        }
        if (directivesOnly || !Active())
            continue;
        for (auto& token : TokenizeLine(current, where))
            Emit(std::move(token), directivesOnly, m_tokens, 0);
    }
    if (m_conditionals.size() > conditionalsAtStart)
        throw RcError(m_conditionals.back().where, "#if without #endif");
}

void Preprocessor::Emit(Token token, bool directivesOnly, std::vector<Token>& out, int depth)
{
    if (token.kind == TokenKind::Identifier)
    {
        auto it = m_macros.find(token.text);
        if (it != m_macros.end())
        {
            if (depth > kMaxExpansionDepth)
                throw RcError(token.where, "macro '" + token.text + "' expands without end");
            for (Token t : it->second)
            {
                t.where = token.where;
                Emit(std::move(t), directivesOnly, out, depth + 1);
            }
            return;
        }
    }
    out.push_back(std::move(token));
}

void Preprocessor::Directive(std::string_view line, const SourceLocation& where, const std::filesystem::path& dir)
{
    line = Trim(line);
    size_t nameEnd = 0;
    while (nameEnd < line.size() && IsIdentChar(line[nameEnd]))
        ++nameEnd;
    std::string name(line.substr(0, nameEnd));
    std::string_view rest = Trim(line.substr(nameEnd));

    if (name == "if" || name == "ifdef" || name == "ifndef")
    {
        bool parent = Active();
        bool value = false;
        if (parent)
        {
            if (name == "if")
                value = EvalCondition(rest, where) != 0;
            else
            {
                auto tokens = TokenizeLine(rest, where);
                if (tokens.size() != 1 || tokens[0].kind != TokenKind::Identifier)
                    throw RcError(where, "#" + name + " needs one macro name");
                value = m_macros.count(tokens[0].text) != 0;
                if (name == "ifndef")
                    value = !value;
            }
        }
        m_conditionals.push_back({parent, parent && value, parent && value, false, where});
        return;
    }
    if (name == "elif" || name == "else" || name == "endif")
    {
        if (m_conditionals.empty())
            throw RcError(where, "#" + name + " without #if");
        auto& c = m_conditionals.back();
        if (name == "endif")
        {
            m_conditionals.pop_back();
            return;
        }
        if (c.sawElse)
            throw RcError(where, "#" + name + " after #else");
        if (name == "else")
        {
            c.sawElse = true;
            c.active = c.parentActive && !c.taken;
            c.taken = c.taken || c.active;
            return;
        }
        bool value = c.parentActive && !c.taken && EvalCondition(rest, where) != 0;
        c.active = value;
        c.taken = c.taken || value;
        return;
    }
    if (!Active())
        return;

    if (name == "include")
        Include(rest, where, dir);
    else if (name == "define")
    {
        size_t n = 0;
        while (n < rest.size() && IsIdentChar(rest[n]))
            ++n;
        if (n == 0 || !IsIdentStart(rest[0]))
            throw RcError(where, "#define needs a macro name");
        std::string macro(rest.substr(0, n));
        if (n < rest.size() && rest[n] == '(')
            throw RcError(where, "function-like macro '" + macro + "' is not supported");
        m_macros[macro] = TokenizeLine(rest.substr(n), where);
    }
    else if (name == "undef")
        m_macros.erase(std::string(rest));
    else if (name == "pragma")
    {
        auto tokens = TokenizeLine(rest, where);
        if (!tokens.empty() && tokens[0].text == "code_page")
        {
            bool utf8 = tokens.size() == 4 && tokens[1].IsPunct("(") && tokens[3].IsPunct(")") &&
                        ((tokens[2].kind == TokenKind::Number && tokens[2].value == 65001) ||
                         tokens[2].text == "DEFAULT");
            if (!utf8)
                throw RcError(where, "only UTF-8 scripts are supported (#pragma code_page(65001))");
        }
        // Other pragmas mean nothing to resources.
    }
    else if (name == "error")
        throw RcError(where, "#error " + std::string(rest));
    else if (name.empty() || name == "line")
        return;
    else
        throw RcError(where, "unknown directive '#" + name + "'");
}

void Preprocessor::Include(std::string_view rest, const SourceLocation& where, const std::filesystem::path& dir)
{
    if (rest.size() < 2 || !((rest.front() == '"' && rest.back() == '"') || (rest.front() == '<' && rest.back() == '>')))
        throw RcError(where, "#include needs \"file\" or <file>");
    bool quoted = rest.front() == '"';
    std::string name(rest.substr(1, rest.size() - 2));
    std::replace(name.begin(), name.end(), '\\', '/');

    std::vector<std::filesystem::path> search;
    if (quoted)
        search.push_back(dir);
    search.insert(search.end(), m_options.includeDirs.begin(), m_options.includeDirs.end());
    for (const auto& base : search)
    {
        auto candidate = base / name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec))
        {
            if (++m_includeDepth > kMaxIncludeDepth)
                throw RcError(where, "#include nested too deeply");
            auto ext = Lower(candidate.extension().string());
            bool header = ext == ".h" || ext == ".hpp" || ext == ".hh" || ext == ".c" || ext == ".cpp";
            ProcessFile(candidate, &where, header);
            --m_includeDepth;
            return;
        }
    }
    if (kSystemHeaders.count(Lower(std::filesystem::path(name).filename().string())))
        return;
    throw RcError(where, "cannot open include file '" + name + "'");
}

long long Preprocessor::EvalCondition(std::string_view expr, const SourceLocation& where)
{
    auto raw = TokenizeLine(expr, where);
    std::vector<Token> tokens;
    for (size_t i = 0; i < raw.size(); ++i)
    {
        if (raw[i].kind == TokenKind::Identifier && raw[i].text == "defined")
        {
            bool paren = i + 1 < raw.size() && raw[i + 1].IsPunct("(");
            size_t nameAt = i + (paren ? 2 : 1);
            if (nameAt >= raw.size() || raw[nameAt].kind != TokenKind::Identifier ||
                (paren && (nameAt + 1 >= raw.size() || !raw[nameAt + 1].IsPunct(")"))))
                throw RcError(where, "malformed defined()");
            Token t;
            t.kind = TokenKind::Number;
            t.value = m_macros.count(raw[nameAt].text) ? 1 : 0;
            t.text = std::to_string(t.value);
            t.where = where;
            tokens.push_back(t);
            i = nameAt + (paren ? 1 : 0);
            continue;
        }
        Emit(raw[i], false, tokens, 0);
    }
    if (tokens.empty())
        throw RcError(where, "#if needs an expression");
    return EvaluateCondition(tokens, where);
}
} // namespace qm::rc
