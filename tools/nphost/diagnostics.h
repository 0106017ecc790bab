// Messages of the host on stderr. Faults (misuse of the browser table) and leaks are
// counted: either makes the run fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nphost
{
void Note(std::string_view text);
void Fault(std::string_view text);
void Leak(std::string_view text);
int ProblemCount();

std::string Hex(const void* pointer);
std::string Hex32(uint32_t value);
// At most 40 characters of a buffer, non-printable bytes as '.', for leak messages.
std::string Preview(const void* data, size_t size);
} // namespace nphost
