// UTF-8 <-> UTF-16 with the Windows rules for bad input. Internal to kernel32.
#pragma once

#include <cstddef>
#include <string>

namespace qm::kernel32
{
// Each ill-formed subsequence (Unicode's "maximal subpart") becomes one U+FFFD; with
// strict, the first one makes the call fail (false).
bool DecodeUtf8(const char* in, size_t len, bool strict, std::u16string& out);

// A lone surrogate becomes U+FFFD (EF BF BD); with strict it makes the call fail.
bool EncodeUtf8(const char16_t* in, size_t len, bool strict, std::string& out);

// The same conversions straight into a caller's buffer: the first `capacity` units of the
// result are written to out (which may be null when capacity is 0), and `needed` is the
// length of the whole result. Nothing is allocated, so a size query costs one scan.
bool DecodeUtf8(const char* in, size_t len, bool strict, char16_t* out, size_t capacity, size_t& needed);
bool EncodeUtf8(const char16_t* in, size_t len, bool strict, char* out, size_t capacity, size_t& needed);
} // namespace qm::kernel32
