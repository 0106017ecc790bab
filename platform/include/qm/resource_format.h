// The resource directory that tools/rc compiles into a module: one read-only blob in the
// module's "qm_rsrc" section, registered with the loader at load time and readable from the
// file without running it (version information). Little-endian, offsets from the blob start.
#pragma once

#include <cstdint>

namespace qm::rsrc
{
inline constexpr char kSectionName[] = "qm_rsrc";
inline constexpr char kMagic[8] = {'Q', 'M', 'R', 'S', 'R', 'C', '1', '\0'};
// Blobs are padded to this alignment, so several in one section follow each other.
inline constexpr uint32_t kBlobAlign = 16;
// Every resource's data starts at a multiple of this, as Windows keeps resources aligned.
inline constexpr uint32_t kDataAlign = 8;

struct BlobHeader
{
    char magic[8];
    uint32_t totalSize; // whole blob, header included, a multiple of kBlobAlign
    uint32_t count;     // entries following the header
};

// A type or name is numeric when nameOffset is 0, else a UTF-16 upper-case,
// NUL-terminated string at nameOffset.
struct Entry
{
    uint32_t typeId;
    uint32_t typeNameOffset;
    uint32_t nameId;
    uint32_t nameNameOffset;
    uint32_t language;
    uint32_t dataOffset;
    uint32_t dataSize;
    uint32_t reserved;
};

static_assert(sizeof(BlobHeader) == 16);
static_assert(sizeof(Entry) == 32);
} // namespace qm::rsrc
