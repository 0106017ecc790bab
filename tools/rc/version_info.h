// The binary VS_VERSIONINFO layout: nodes of wLength, wValueLength, wType, key, padding to
// 32 bits, value, padding, children; the root's value is a VS_FIXEDFILEINFO.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm::rc
{
struct FixedFileInfo
{
    uint16_t fileVersion[4] = {};
    uint16_t productVersion[4] = {};
    uint32_t fileFlagsMask = 0;
    uint32_t fileFlags = 0;
    uint32_t fileOS = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
};

// BLOCK "key" (children) or VALUE "key", text or binary.
struct VersionNode
{
    std::u16string key;
    bool isBlock = false;
    bool isText = false;
    std::u16string text;          // without terminator; one is added
    std::vector<uint8_t> binary;  // WORDs and DWORDs, little-endian
    std::vector<VersionNode> children;
};

std::vector<uint8_t> BuildVersionInfo(const FixedFileInfo& fixed, const std::vector<VersionNode>& children);
} // namespace qm::rc
