#include "version_info.h"

#include <stdexcept>

namespace qm::rc
{
namespace
{
void Pad4(std::vector<uint8_t>& out)
{
    while (out.size() % 4)
        out.push_back(0);
}

void PutWord(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutDword(std::vector<uint8_t>& out, uint32_t v)
{
    PutWord(out, static_cast<uint16_t>(v));
    PutWord(out, static_cast<uint16_t>(v >> 16));
}

void SetWord(std::vector<uint8_t>& out, size_t at, size_t v)
{
    if (v > 0xFFFF)
        throw std::length_error("version information larger than 64 KB");
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Writes one node at the end of `out` (which starts 32-bit aligned relative to the root).
void WriteNode(std::vector<uint8_t>& out, const std::u16string& key, uint16_t type, const std::vector<uint8_t>& value,
               uint16_t valueLength, const std::vector<VersionNode>& children);

void WriteChild(std::vector<uint8_t>& out, const VersionNode& node)
{
    if (node.isBlock)
    {
        WriteNode(out, node.key, 1, {}, 0, node.children);
        return;
    }
    if (node.isText)
    {
        std::vector<uint8_t> value;
        for (char16_t c : node.text)
            PutWord(value, c);
        PutWord(value, 0);
        WriteNode(out, node.key, 1, value, static_cast<uint16_t>(node.text.size() + 1), {});
        return;
    }
    WriteNode(out, node.key, 0, node.binary, static_cast<uint16_t>(node.binary.size()), {});
}

void WriteNode(std::vector<uint8_t>& out, const std::u16string& key, uint16_t type, const std::vector<uint8_t>& value,
               uint16_t valueLength, const std::vector<VersionNode>& children)
{
    Pad4(out);
    size_t start = out.size();
    PutWord(out, 0); // wLength, set below
    PutWord(out, valueLength);
    PutWord(out, type);
    for (char16_t c : key)
        PutWord(out, c);
    PutWord(out, 0);
    Pad4(out);
    out.insert(out.end(), value.begin(), value.end());
    for (const auto& child : children)
        WriteChild(out, child);
    SetWord(out, start, out.size() - start);
}
} // namespace

std::vector<uint8_t> BuildVersionInfo(const FixedFileInfo& f, const std::vector<VersionNode>& children)
{
    std::vector<uint8_t> fixed;
    PutDword(fixed, 0xFEEF04BD);
    PutDword(fixed, 0x00010000);
    PutDword(fixed, (uint32_t{f.fileVersion[0]} << 16) | f.fileVersion[1]);
    PutDword(fixed, (uint32_t{f.fileVersion[2]} << 16) | f.fileVersion[3]);
    PutDword(fixed, (uint32_t{f.productVersion[0]} << 16) | f.productVersion[1]);
    PutDword(fixed, (uint32_t{f.productVersion[2]} << 16) | f.productVersion[3]);
    PutDword(fixed, f.fileFlagsMask);
    PutDword(fixed, f.fileFlags);
    PutDword(fixed, f.fileOS);
    PutDword(fixed, f.fileType);
    PutDword(fixed, f.fileSubtype);
    PutDword(fixed, 0); // file date
    PutDword(fixed, 0);
    std::vector<uint8_t> out;
    WriteNode(out, u"VS_VERSION_INFO", 0, fixed, static_cast<uint16_t>(fixed.size()), children);
    return out;
}
} // namespace qm::rc
