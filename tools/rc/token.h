// Tokens of a resource script after preprocessing.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics.h"

namespace qm::rc
{
enum class TokenKind
{
    Identifier,
    Number,
    String,
    Punct,
    End,
};

struct Token
{
    TokenKind kind = TokenKind::End;
    std::string text;     // identifier, punctuation, or the raw characters between the quotes
    uint32_t value = 0;   // numbers
    bool isLong = false;  // a number with an L suffix
    bool isWide = false;  // L"..."
    SourceLocation where;

    bool Is(TokenKind k, const char* t) const { return kind == k && text == t; }
    bool IsPunct(const char* t) const { return Is(TokenKind::Punct, t); }
};
} // namespace qm::rc
