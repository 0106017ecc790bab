// Integer expressions: the numeric operands of resource statements and #if conditions.
#pragma once

#include <vector>

#include "token.h"

namespace qm::rc
{
struct NumberValue
{
    uint32_t value = 0;
    bool isLong = false; // some operand had an L suffix (a DWORD in RCDATA and VALUE)
};

// Reads an expression starting at tokens[pos] (advancing pos): numbers, parentheses,
// unary - ~ NOT, binary * / % + - << >> & ^ |. Unknown identifiers are an error.
NumberValue ParseNumberExpression(const std::vector<Token>& tokens, size_t& pos);
// True when tokens[pos] can begin an expression.
bool StartsExpression(const std::vector<Token>& tokens, size_t pos);
// A whole #if condition, C rules: also ! && || == != < > <= >=; unknown identifiers are 0.
long long EvaluateCondition(const std::vector<Token>& tokens, const SourceLocation& where);
} // namespace qm::rc
