#include "registrar_script.h"

#include <set>

namespace qm::atl
{
namespace
{
constexpr int kMaxDepth = 64;

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool Same(const std::u16string& a, const char16_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return i == a.size() && !b[i];
}

struct Token
{
    enum class Kind
    {
        End,
        Open,
        Close,
        Equals,
        Word,
        Quoted
    } kind = Kind::End;
    std::u16string text;
    int line = 1;
};

struct ParseError
{
    std::string what;
};

class Parser
{
public:
    Parser(const std::u16string& text, const Replacements& replacements) : m_text(text), m_repl(replacements)
    {
        Advance();
    }

    std::vector<ScriptRoot> Script()
    {
        std::vector<ScriptRoot> roots;
        while (m_tok.kind != Token::Kind::End)
        {
            if (m_tok.kind != Token::Kind::Word || !IsRoot(m_tok.text))
                Fail("root key (HKCR, HKCU, HKLM, HKU) expected");
            ScriptRoot root;
            root.name = m_tok.text;
            Advance();
            Expect(Token::Kind::Open, "'{' after the root key");
            while (m_tok.kind != Token::Kind::Close)
                root.keys.push_back(Key(1));
            Advance();
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw ParseError{"line " + std::to_string(m_tok.line) + ": " + what};
    }

    static bool IsRoot(const std::u16string& name)
    {
        for (const char16_t* r : {u"HKCR", u"HKEY_CLASSES_ROOT", u"HKCU", u"HKEY_CURRENT_USER", u"HKLM",
                                  u"HKEY_LOCAL_MACHINE", u"HKU", u"HKEY_USERS"})
            if (Same(name, r))
                return true;
        return false;
    }

    void Expect(Token::Kind kind, const char* what)
    {
        if (m_tok.kind != kind)
            Fail(std::string("expected ") + what);
        Advance();
    }

    bool IsWord(const char16_t* word) const { return m_tok.kind == Token::Kind::Word && Same(m_tok.text, word); }

    std::u16string Name(const char* what)
    {
        if (m_tok.kind != Token::Kind::Word && m_tok.kind != Token::Kind::Quoted)
            Fail(std::string(what) + " expected");
        if (m_tok.text.empty())
            Fail(std::string("empty ") + what);
        if (m_tok.text.find(u'\\') != std::u16string::npos)
            Fail(std::string("'\\' in ") + what); // one level per key: the nesting says the path
        std::u16string name = m_tok.text;
        Advance();
        return name;
    }

    ScriptKey Key(int depth)
    {
        if (depth > kMaxDepth)
            Fail("keys nested too deeply");
        ScriptKey key;
        if (IsWord(u"ForceRemove"))
            key.flag = KeyFlag::ForceRemove;
        else if (IsWord(u"NoRemove"))
            key.flag = KeyFlag::NoRemove;
        else if (IsWord(u"Delete"))
            key.flag = KeyFlag::Delete;
        if (key.flag != KeyFlag::None)
            Advance();
        if (IsWord(u"val"))
            Fail("'val' outside a key");
        key.name = Name("key name");
        if (m_tok.kind == Token::Kind::Equals)
        {
            Advance();
            key.defaultValue = Value();
        }
        if (m_tok.kind == Token::Kind::Open)
        {
            Advance();
            while (m_tok.kind != Token::Kind::Close)
            {
                if (IsWord(u"val"))
                {
                    Advance();
                    std::u16string name = Name("value name");
                    Expect(Token::Kind::Equals, "'=' after the value name");
                    key.values.emplace_back(std::move(name), Value());
                }
                else
                    key.subkeys.push_back(Key(depth + 1));
            }
            Advance();
        }
        return key;
    }

    ScriptValue Value()
    {
        if (m_tok.kind != Token::Kind::Word)
            Fail("value type (s, d or b) expected");
        ScriptValue v;
        if (Same(m_tok.text, u"s"))
            v.type = ScriptValue::Type::String;
        else if (Same(m_tok.text, u"d"))
            v.type = ScriptValue::Type::Dword;
        else if (Same(m_tok.text, u"b"))
            v.type = ScriptValue::Type::Binary;
        else
            Fail("unknown value type");
        Advance();
        if (m_tok.kind != Token::Kind::Word && m_tok.kind != Token::Kind::Quoted)
            Fail("value expected");
        v.text = m_tok.text;
        if (v.type == ScriptValue::Type::Dword)
            v.dword = Dword(v.text);
        else if (v.type == ScriptValue::Type::Binary)
            v.bytes = Bytes(v.text);
        Advance();
        return v;
    }

    uint32_t Dword(const std::u16string& text) const
    {
        size_t i = 0;
        unsigned base = 10;
        if (text.size() > 2 && text[0] == u'0' && Lower(text[1]) == u'x')
        {
            base = 16;
            i = 2;
        }
        if (i >= text.size())
            Fail("empty number");
        uint64_t v = 0;
        for (; i < text.size(); ++i)
        {
            int d = Digit(text[i]);
            if (d < 0 || unsigned(d) >= base)
                Fail("bad digit in a number");
            v = v * base + unsigned(d);
            if (v > 0xFFFFFFFFu)
                Fail("number larger than a DWORD");
        }
        return uint32_t(v);
    }

    std::vector<uint8_t> Bytes(const std::u16string& text) const
    {
        if (text.size() % 2)
            Fail("odd number of hex digits");
        std::vector<uint8_t> out;
        for (size_t i = 0; i < text.size(); i += 2)
        {
            int hi = Digit(text[i]), lo = Digit(text[i + 1]);
            if (hi < 0 || hi > 15 || lo < 0 || lo > 15)
                Fail("bad hex digit");
            out.push_back(uint8_t(hi * 16 + lo));
        }
        return out;
    }

    static int Digit(char16_t c)
    {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        c = Lower(c);
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        return -1;
    }

    // %NAME% from the table, %% as %.
    std::u16string Replace(const std::u16string& raw) const
    {
        std::u16string out;
        for (size_t i = 0; i < raw.size(); ++i)
        {
            if (raw[i] != u'%')
            {
                out += raw[i];
                continue;
            }
            size_t end = raw.find(u'%', i + 1);
            if (end == std::u16string::npos)
                Fail("'%' without its closing '%'");
            if (end == i + 1)
                out += u'%';
            else
            {
                auto it = m_repl.find(raw.substr(i + 1, end - i - 1));
                if (it == m_repl.end())
                    Fail("no replacement for %" + std::string(raw.begin() + long(i) + 1, raw.begin() + long(end)) + "%");
                out += it->second;
            }
            i = end;
        }
        return out;
    }

    void Advance()
    {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == u' ' || m_text[m_pos] == u'\t' || m_text[m_pos] == u'\r' || m_text[m_pos] == u'\n' ||
                m_text[m_pos] == 0xFEFF))
        {
            if (m_text[m_pos] == u'\n')
                ++m_line;
            ++m_pos;
        }
        m_tok = Token{};
        m_tok.line = m_line;
        if (m_pos >= m_text.size())
            return;
        char16_t c = m_text[m_pos];
        if (c == u'\'')
        {
            std::u16string raw;
            for (++m_pos;; ++m_pos)
            {
                if (m_pos >= m_text.size())
                    Fail("text without its closing quote");
                if (m_text[m_pos] == u'\'')
                {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'\'')
                    {
                        raw += u'\'';
                        ++m_pos;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                if (m_text[m_pos] == u'\n')
                    ++m_line;
                raw += m_text[m_pos];
            }
            m_tok.kind = Token::Kind::Quoted;
            m_tok.text = Replace(raw);
            return;
        }
        size_t start = m_pos;
        while (m_pos < m_text.size())
        {
            char16_t d = m_text[m_pos];
            if (d == u' ' || d == u'\t' || d == u'\r' || d == u'\n')
                break;
            ++m_pos;
        }
        // As the registrar reads it: braces and '=' are words of their own, so a bare
        // {GUID} is a name.
        std::u16string word = m_text.substr(start, m_pos - start);
        if (word == u"{" || word == u"}" || word == u"=")
        {
            m_tok.kind = word == u"{" ? Token::Kind::Open : word == u"}" ? Token::Kind::Close : Token::Kind::Equals;
            return;
        }
        m_tok.kind = Token::Kind::Word;
        m_tok.text = Replace(word);
    }

    const std::u16string& m_text;
    const Replacements& m_repl;
    size_t m_pos = 0;
    int m_line = 1;
    Token m_tok;
};
} // namespace

bool NoCase::operator()(const std::u16string& a, const std::u16string& b) const
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return Lower(a[i]) < Lower(b[i]);
    return a.size() < b.size();
}

ParseResult ParseRegistrarScript(const std::u16string& text, const Replacements& replacements)
{
    ParseResult result;
    try
    {
        result.roots = Parser(text, replacements).Script();
    }
    catch (const ParseError& e)
    {
        result.roots.clear();
        result.error = e.what;
    }
    return result;
}
} // namespace qm::atl
