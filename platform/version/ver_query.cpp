// VerQueryValueW: walks the VS_VERSIONINFO tree (each node: wLength, wValueLength, wType,
// key, padding to 32 bits, value, padding, children).
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "../loader/utf.h"
#include "winbase.h"
#include "winver.h"

namespace
{
struct Node
{
    size_t offset = 0;
    size_t end = 0;          // offset + wLength
    std::u16string_view key;
    size_t valueOffset = 0;
    size_t valueBytes = 0;
    WORD valueLength = 0;    // as stored: characters for text, bytes for binary
    size_t childrenOffset = 0;
};

size_t Align4(size_t n)
{
    return (n + 3) & ~size_t{3};
}

class VersionBlock
{
public:
    explicit VersionBlock(const uint8_t* data) : m_data(data)
    {
        std::memcpy(&m_length, data, 2);
    }

    std::optional<Node> NodeAt(size_t offset, size_t limit) const
    {
        if (offset + 6 > limit)
            return std::nullopt;
        WORD length, valueLength, type;
        std::memcpy(&length, m_data + offset, 2);
        std::memcpy(&valueLength, m_data + offset + 2, 2);
        std::memcpy(&type, m_data + offset + 4, 2);
        if (length < 6 || offset + length > limit)
            return std::nullopt;
        Node node;
        node.offset = offset;
        node.end = offset + length;
        size_t keyStart = offset + 6;
        size_t pos = keyStart;
        for (;; pos += 2)
        {
            if (pos + 2 > node.end)
                return std::nullopt;
            char16_t c;
            std::memcpy(&c, m_data + pos, 2);
            if (c == 0)
                break;
        }
        node.key = std::u16string_view(reinterpret_cast<const char16_t*>(m_data + keyStart), (pos - keyStart) / 2);
        node.valueOffset = Align4(pos + 2);
        node.valueLength = valueLength;
        node.valueBytes = type == 1 ? size_t{valueLength} * 2 : valueLength;
        if (node.valueBytes && node.valueOffset + node.valueBytes > node.end)
            return std::nullopt;
        node.childrenOffset = Align4(node.valueOffset + node.valueBytes);
        return node;
    }

    std::optional<Node> Child(const Node& parent, std::u16string_view key) const
    {
        size_t pos = parent.childrenOffset;
        while (pos < parent.end)
        {
            auto child = NodeAt(pos, parent.end);
            if (!child)
                return std::nullopt;
            if (qm::loader::EqualsNoCase(child->key, key))
                return child;
            pos = Align4(child->end);
        }
        return std::nullopt;
    }

    WORD Length() const { return m_length; }
    const uint8_t* At(size_t offset) const { return m_data + offset; }

private:
    const uint8_t* m_data;
    WORD m_length = 0;
};

std::vector<std::u16string_view> Segments(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    size_t pos = 0;
    while (pos < path.size())
    {
        size_t next = path.find(u'\\', pos);
        if (next == std::u16string_view::npos)
            next = path.size();
        if (next > pos)
            parts.push_back(path.substr(pos, next - pos));
        pos = next + 1;
    }
    return parts;
}
} // namespace

QMAPI BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen)
{
    if (lplpBuffer)
        *lplpBuffer = nullptr;
    if (puLen)
        *puLen = 0;
    if (!pBlock || !lpSubBlock || !lplpBuffer)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    VersionBlock block(static_cast<const uint8_t*>(pBlock));
    auto node = block.NodeAt(0, block.Length());
    if (!node)
        return FALSE;
    for (auto segment : Segments(std::u16string_view(lpSubBlock, qm::loader::Utf16Length(lpSubBlock))))
    {
        node = block.Child(*node, segment);
        if (!node)
            return FALSE;
    }
    // A node without a value (a block) exists with length 0, as Windows reports it.
    *lplpBuffer = const_cast<uint8_t*>(block.At(node->valueOffset));
    if (puLen)
        *puLen = node->valueLength;
    return TRUE;
}
