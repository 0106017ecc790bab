#include "resource_directory.h"

#include <cstring>

#include "qm/nls.h"
#include "utf.h"
#include "winerror.h"

namespace qm::loader
{
ResourceKey ResourceKey::From(LPCWSTR value)
{
    if (IS_INTRESOURCE(value))
        return Id(static_cast<WORD>(reinterpret_cast<uintptr_t>(value)));
    std::u16string_view text(value, Utf16Length(value));
    // "#123" names the numeric id 123.
    if (text.size() > 1 && text[0] == u'#')
    {
        uint32_t id = 0;
        bool digits = true;
        for (char16_t c : text.substr(1))
        {
            if (c < u'0' || c > u'9' || id > 0xFFFF)
            {
                digits = false;
                break;
            }
            id = id * 10 + (c - u'0');
        }
        if (digits && id <= 0xFFFF)
            return Id(static_cast<WORD>(id));
    }
    ResourceKey key{false, 0, {}};
    for (char16_t c : text)
        key.name.push_back(AsciiUpper(c));
    return key;
}

std::optional<ResourceDirectory> ResourceDirectory::Parse(const uint8_t* data, size_t size)
{
    using namespace rsrc;
    if (!data || size < sizeof(BlobHeader) || reinterpret_cast<uintptr_t>(data) % alignof(Entry) != 0)
        return std::nullopt;
    BlobHeader header;
    std::memcpy(&header, data, sizeof header);
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.totalSize > size ||
        header.totalSize < sizeof(BlobHeader) || header.count > (header.totalSize - sizeof(BlobHeader)) / sizeof(Entry))
        return std::nullopt;

    ResourceDirectory dir;
    dir.m_data = data;
    dir.m_size = header.totalSize;
    dir.m_entries = {reinterpret_cast<const Entry*>(data + sizeof(BlobHeader)), header.count};
    for (const auto& e : dir.m_entries)
    {
        if (e.dataOffset > dir.m_size || e.dataSize > dir.m_size - e.dataOffset)
            return std::nullopt;
        for (uint32_t offset : {e.typeNameOffset, e.nameNameOffset})
            if (offset != 0 && dir.String(offset).data() == nullptr)
                return std::nullopt;
        if ((e.typeNameOffset == 0 && e.typeId > 0xFFFF) || (e.nameNameOffset == 0 && e.nameId > 0xFFFF) ||
            e.language > 0xFFFF)
            return std::nullopt;
    }
    return dir;
}

std::u16string_view ResourceDirectory::String(uint32_t offset) const
{
    if (offset % 2 != 0 || offset < sizeof(rsrc::BlobHeader) || offset >= m_size)
        return {};
    auto chars = reinterpret_cast<const char16_t*>(m_data + offset);
    size_t max = (m_size - offset) / 2;
    for (size_t n = 0; n < max; ++n)
        if (chars[n] == 0)
            return n == 0 ? std::u16string_view() : std::u16string_view(chars, n);
    return {};
}

bool ResourceDirectory::Matches(const ResourceKey& key, uint32_t id, uint32_t nameOffset) const
{
    if (key.numeric)
        return nameOffset == 0 && id == key.id;
    return nameOffset != 0 && EqualsNoCase(String(nameOffset), key.name);
}

bool ResourceDirectory::Holds(const void* entry) const
{
    auto p = static_cast<const uint8_t*>(entry);
    auto first = reinterpret_cast<const uint8_t*>(m_entries.data());
    return p >= first && p < first + m_entries.size_bytes() && (p - first) % sizeof(rsrc::Entry) == 0;
}

std::optional<std::vector<ResourceDirectory>> ParseSection(const uint8_t* data, size_t size)
{
    std::vector<ResourceDirectory> dirs;
    size_t offset = 0;
    while (offset + sizeof(rsrc::BlobHeader) <= size)
    {
        if (data[offset] == 0)
        {
            // Padding between the directories of two objects.
            offset += rsrc::kBlobAlign;
            continue;
        }
        auto dir = ResourceDirectory::Parse(data + offset, size - offset);
        if (!dir)
            return std::nullopt;
        offset += (dir->Size() + rsrc::kBlobAlign - 1) / rsrc::kBlobAlign * rsrc::kBlobAlign;
        dirs.push_back(*dir);
    }
    return dirs;
}

Found FindResourceIn(const std::vector<ResourceDirectory>& directories, const ResourceKey& type,
                     const ResourceKey& name, std::optional<LANGID> exactLanguage)
{
    if (directories.empty())
        return {nullptr, nullptr, ERROR_RESOURCE_DATA_NOT_FOUND};
    struct Candidate
    {
        const ResourceDirectory* dir;
        const rsrc::Entry* entry;
    };
    std::vector<Candidate> candidates;
    bool typeSeen = false;
    for (const auto& dir : directories)
        for (const auto& e : dir.Entries())
        {
            if (!dir.Matches(type, e.typeId, e.typeNameOffset))
                continue;
            typeSeen = true;
            if (dir.Matches(name, e.nameId, e.nameNameOffset))
                candidates.push_back({&dir, &e});
        }
    if (!typeSeen)
        return {nullptr, nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND};
    if (candidates.empty())
        return {nullptr, nullptr, ERROR_RESOURCE_NAME_NOT_FOUND};

    auto withLanguage = [&](LANGID lang) -> const Candidate* {
        for (const auto& c : candidates)
            if (c.entry->language == lang)
                return &c;
        return nullptr;
    };
    if (exactLanguage)
    {
        if (auto c = withLanguage(*exactLanguage))
            return {c->entry, c->dir->Data(*c->entry), ERROR_SUCCESS};
        return {nullptr, nullptr, ERROR_RESOURCE_LANG_NOT_FOUND};
    }
    for (LANGID lang : UiLanguageFallbacks())
        if (auto c = withLanguage(lang))
            return {c->entry, c->dir->Data(*c->entry), ERROR_SUCCESS};
    // Any language: the lowest id, the first one in a Windows resource directory.
    const Candidate* best = &candidates.front();
    for (const auto& c : candidates)
        if (c.entry->language < best->entry->language)
            best = &c;
    return {best->entry, best->dir->Data(*best->entry), ERROR_SUCCESS};
}
} // namespace qm::loader
