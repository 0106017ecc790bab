// What a resource script compiles to: resources with type, name, language and bytes.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics.h"

namespace qm::rc
{
// A numeric id, or an upper-case name.
struct ResourceName
{
    bool numeric = true;
    uint16_t id = 0;
    std::u16string name;

    static ResourceName Id(uint16_t id) { return {true, id, {}}; }
    std::string Display() const;
    auto operator<=>(const ResourceName&) const = default;
};

struct Resource
{
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
    SourceLocation where;
};

inline constexpr uint16_t kRtIcon = 3;
inline constexpr uint16_t kRtString = 6;
inline constexpr uint16_t kRtRcdata = 10;
inline constexpr uint16_t kRtGroupIcon = 14;
inline constexpr uint16_t kRtVersion = 16;
inline constexpr uint16_t kRtHtml = 23;
inline constexpr uint16_t kRtManifest = 24;
} // namespace qm::rc
