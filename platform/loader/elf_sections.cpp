#include "elf_sections.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "winerror.h"

namespace qm::loader
{
namespace
{
struct SectionHeader
{
    uint32_t name;
    uint32_t type;
    uint64_t offset;
    uint64_t size;
};

template <typename Ehdr, typename Shdr>
SectionRead ReadSections(std::ifstream& file, uint64_t fileSize, const std::string& wanted)
{
    SectionRead result;
    result.error = ERROR_BAD_FORMAT;
    Ehdr eh;
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(&eh), sizeof eh))
        return result;
    if (eh.e_shentsize != sizeof(Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum ||
        eh.e_shoff > fileSize || uint64_t{eh.e_shnum} * sizeof(Shdr) > fileSize - eh.e_shoff)
        return result;

    std::vector<SectionHeader> sections;
    for (unsigned i = 0; i < eh.e_shnum; ++i)
    {
        Shdr sh;
        file.seekg(static_cast<std::streamoff>(eh.e_shoff + uint64_t{i} * sizeof(Shdr)));
        if (!file.read(reinterpret_cast<char*>(&sh), sizeof sh))
            return result;
        sections.push_back({sh.sh_name, sh.sh_type, sh.sh_offset, sh.sh_size});
    }
    auto readBytes = [&](const SectionHeader& s, std::vector<uint8_t>& out) {
        if (s.type == SHT_NOBITS || s.offset > fileSize || s.size > fileSize - s.offset)
            return false;
        out.resize(s.size);
        file.seekg(static_cast<std::streamoff>(s.offset));
        return s.size == 0 || static_cast<bool>(file.read(reinterpret_cast<char*>(out.data()), s.size));
    };
    std::vector<uint8_t> names;
    if (!readBytes(sections[eh.e_shstrndx], names))
        return result;
    for (const auto& s : sections)
    {
        if (s.name >= names.size())
            continue;
        auto end = std::find(names.begin() + s.name, names.end(), uint8_t{0});
        if (end == names.end() || std::string(names.begin() + s.name, end) != wanted)
            continue;
        if (!readBytes(s, result.bytes))
            return result;
        result.error = 0;
        return result;
    }
    result.error = ERROR_RESOURCE_DATA_NOT_FOUND;
    return result;
}
} // namespace

SectionRead ReadElfSection(const std::string& path, const std::string& sectionName)
{
    SectionRead result;
    std::ifstream file(path, std::ios::binary);
    if (!file)
    {
        result.error = ERROR_FILE_NOT_FOUND;
        return result;
    }
    file.seekg(0, std::ios::end);
    auto fileSize = static_cast<uint64_t>(file.tellg());
    unsigned char ident[EI_NIDENT] = {};
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(ident), EI_NIDENT) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
        ident[EI_DATA] != ELFDATA2LSB)
    {
        result.error = ERROR_BAD_FORMAT;
        return result;
    }
    if (ident[EI_CLASS] == ELFCLASS64)
        return ReadSections<Elf64_Ehdr, Elf64_Shdr>(file, fileSize, sectionName);
    if (ident[EI_CLASS] == ELFCLASS32)
        return ReadSections<Elf32_Ehdr, Elf32_Shdr>(file, fileSize, sectionName);
    result.error = ERROR_BAD_FORMAT;
    return result;
}
} // namespace qm::loader
