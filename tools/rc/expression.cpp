#include "expression.h"

#include <string>

namespace qm::rc
{
namespace
{
class Evaluator
{
public:
    Evaluator(const std::vector<Token>& tokens, size_t& pos, bool condition, SourceLocation where)
        : m_tokens(tokens), m_pos(pos), m_condition(condition), m_where(std::move(where))
    {
    }

    long long Parse() { return Binary(StartLevel()); }
    bool isLong = false;

private:
    // Binary operators from loosest to tightest. Statements (not #if) start at "|" and
    // have no logical or comparison operators.
    static constexpr int kLevels = 10;
    int StartLevel() const { return m_condition ? 0 : 2; }

    const Token* Peek() const { return m_pos < m_tokens.size() ? &m_tokens[m_pos] : nullptr; }

    bool OperatorAt(int level, std::string& op) const
    {
        static const std::vector<std::vector<std::string>> kOps = {
            {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="}, {"<<", ">>"}, {"+", "-"},
            {"*", "/", "%"}};
        if (!m_condition && (level == 5 || level == 6))
            return false;
        const Token* t = Peek();
        if (!t || t->kind != TokenKind::Punct)
            return false;
        for (const auto& candidate : kOps[level])
            if (t->text == candidate)
            {
                op = candidate;
                return true;
            }
        return false;
    }

    long long Binary(int level)
    {
        if (level >= kLevels)
            return Unary();
        long long left = Binary(level + 1);
        std::string op;
        while (OperatorAt(level, op))
        {
            SourceLocation at = m_tokens[m_pos].where;
            ++m_pos;
            long long right = Binary(level + 1);
            left = Apply(op, left, right, at);
        }
        return left;
    }

    long long Apply(const std::string& op, long long a, long long b, const SourceLocation& at)
    {
        if ((op == "/" || op == "%") && b == 0)
            throw RcError(at, "division by zero");
        long long r = 0;
        if (op == "||") r = a || b;
        else if (op == "&&") r = a && b;
        else if (op == "|") r = a | b;
        else if (op == "^") r = a ^ b;
        else if (op == "&") r = a & b;
        else if (op == "==") r = a == b;
        else if (op == "!=") r = a != b;
        else if (op == "<") r = a < b;
        else if (op == ">") r = a > b;
        else if (op == "<=") r = a <= b;
        else if (op == ">=") r = a >= b;
        else if (op == "<<") r = (b < 0 || b > 63) ? 0 : static_cast<long long>(static_cast<unsigned long long>(a) << b);
        else if (op == ">>") r = (b < 0 || b > 63) ? 0 : a >> b;
        else if (op == "+") r = a + b;
        else if (op == "-") r = a - b;
        else if (op == "*") r = static_cast<long long>(static_cast<unsigned long long>(a) * static_cast<unsigned long long>(b));
        else if (op == "/") r = a / b;
        else if (op == "%") r = a % b;
        return m_condition ? r : static_cast<long long>(static_cast<uint32_t>(r));
    }

    long long Unary()
    {
        struct Depth
        {
            int& d;
            explicit Depth(int& depth) : d(++depth) {}
            ~Depth() { --d; }
        } depth(m_depth);
        const Token* t = Peek();
        if (m_depth > 256)
            throw RcError(t ? t->where : m_where, "expression nested too deeply");
        if (!t)
            throw RcError(m_pos > 0 ? m_tokens[m_pos - 1].where : m_where, "expression expected");
        if (t->kind == TokenKind::Number)
        {
            ++m_pos;
            isLong = isLong || t->isLong;
            return t->value;
        }
        if (t->IsPunct("("))
        {
            ++m_pos;
            long long v = Binary(StartLevel());
            const Token* close = Peek();
            if (!close || !close->IsPunct(")"))
                throw RcError(t->where, "')' expected");
            ++m_pos;
            return v;
        }
        if (t->IsPunct("-") || t->IsPunct("~") || t->IsPunct("+") || (m_condition && t->IsPunct("!")) ||
            (!m_condition && t->Is(TokenKind::Identifier, "NOT")))
        {
            std::string op = t->text;
            ++m_pos;
            long long v = Unary();
            long long r = op == "-" ? -v : op == "+" ? v : op == "!" ? !v : ~v;
            return m_condition ? r : static_cast<long long>(static_cast<uint32_t>(r));
        }
        if (t->kind == TokenKind::Identifier)
        {
            if (m_condition)
            {
                ++m_pos;
                return 0;
            }
            throw RcError(t->where, "unknown identifier '" + t->text + "' in a numeric expression");
        }
        throw RcError(t->where, "number expected, found '" + t->text + "'");
    }

    const std::vector<Token>& m_tokens;
    size_t& m_pos;
    bool m_condition;
    SourceLocation m_where;
    int m_depth = 0;
};
} // namespace

NumberValue ParseNumberExpression(const std::vector<Token>& tokens, size_t& pos)
{
    SourceLocation where = pos < tokens.size() ? tokens[pos].where : SourceLocation{};
    Evaluator e(tokens, pos, false, where);
    long long v = e.Parse();
    return {static_cast<uint32_t>(v), e.isLong};
}

bool StartsExpression(const std::vector<Token>& tokens, size_t pos)
{
    if (pos >= tokens.size())
        return false;
    const Token& t = tokens[pos];
    return t.kind == TokenKind::Number || t.IsPunct("(") || t.IsPunct("-") || t.IsPunct("~") ||
           t.Is(TokenKind::Identifier, "NOT");
}

long long EvaluateCondition(const std::vector<Token>& tokens, const SourceLocation& where)
{
    size_t pos = 0;
    Evaluator e(tokens, pos, true, where);
    long long v = e.Parse();
    if (pos != tokens.size())
        throw RcError(tokens[pos].where, "unexpected '" + tokens[pos].text + "' in #if");
    return v;
}
} // namespace qm::rc
