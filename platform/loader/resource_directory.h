// A checked view of a compiled resource directory (qm/resource_format.h), and the lookup
// that FindResource and GetFileVersionInfo share.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qm/resource_format.h"
#include "windef.h"
#include "winerror.h"

namespace qm::loader
{
// A resource type or name as the API takes it: MAKEINTRESOURCE id, "#123", or a string.
struct ResourceKey
{
    bool numeric = true;
    WORD id = 0;
    std::u16string name; // upper case

    static ResourceKey From(LPCWSTR value);
    static ResourceKey Id(WORD id) { return ResourceKey{true, id, {}}; }
};

class ResourceDirectory
{
public:
    // Checks every offset and size; nullopt for a blob that is not a well-formed directory.
    static std::optional<ResourceDirectory> Parse(const uint8_t* data, size_t size);

    const uint8_t* Begin() const { return m_data; }
    size_t Size() const { return m_size; }
    std::span<const rsrc::Entry> Entries() const { return m_entries; }
    const uint8_t* Data(const rsrc::Entry& entry) const { return m_data + entry.dataOffset; }
    bool Matches(const ResourceKey& key, uint32_t id, uint32_t nameOffset) const;
    bool Holds(const void* entry) const;

private:
    std::u16string_view String(uint32_t offset) const;

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    std::span<const rsrc::Entry> m_entries;
};

// The directories that follow each other in a module's resource section (zero padding
// between them is skipped). nullopt when the section is damaged.
std::optional<std::vector<ResourceDirectory>> ParseSection(const uint8_t* data, size_t size);

// Points into the module's (or the caller's) directory data, never into the vector.
struct Found
{
    const rsrc::Entry* entry = nullptr;
    const uint8_t* data = nullptr;
    DWORD error = ERROR_SUCCESS;
};

// exactLanguage nullopt: the thread's UI language, its fallbacks, then any language.
Found FindResourceIn(const std::vector<ResourceDirectory>& directories, const ResourceKey& type,
                     const ResourceKey& name, std::optional<LANGID> exactLanguage);
} // namespace qm::loader
