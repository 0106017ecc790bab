// The Windows functions nphost calls, behind small helpers: the version resource of a
// file, COM on the calling thread, elevation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nphost
{
// The whole VS_VERSIONINFO block of a file; false when it has none.
bool ReadVersionResource(const char16_t* file, std::vector<uint8_t>& block);
// The bytes of one value of the block, or nothing.
std::optional<std::vector<uint8_t>> QueryVersionValue(const std::vector<uint8_t>& block,
                                                      const std::u16string& subBlock);

// CoInitializeEx for an apartment-threaded caller; the HRESULT.
int32_t InitializeCom();
void UninitializeCom();
} // namespace nphost
