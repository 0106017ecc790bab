#include "blob_writer.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <tuple>

#include "qm/resource_format.h"

namespace qm::rc
{
namespace
{
void Align(std::vector<uint8_t>& out, size_t alignment)
{
    while (out.size() % alignment)
        out.push_back(0);
}

uint32_t Offset(size_t n)
{
    if (n > 0xFFFFFFFFu)
        throw std::length_error("resources larger than 4 GB");
    return static_cast<uint32_t>(n);
}
} // namespace

std::vector<uint8_t> BuildBlob(std::vector<Resource> resources)
{
    using namespace qm::rsrc;
    std::sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        return std::tie(a.type, a.name, a.language) < std::tie(b.type, b.name, b.language);
    });
    std::vector<uint8_t> out(sizeof(BlobHeader) + resources.size() * sizeof(Entry), 0);
    std::vector<Entry> entries(resources.size());

    std::map<std::u16string, uint32_t> strings;
    auto stringOffset = [&](const ResourceName& n) -> uint32_t {
        if (n.numeric)
            return 0;
        auto it = strings.find(n.name);
        if (it != strings.end())
            return it->second;
        Align(out, 2);
        uint32_t at = Offset(out.size());
        for (char16_t c : n.name)
        {
            out.push_back(static_cast<uint8_t>(c));
            out.push_back(static_cast<uint8_t>(c >> 8));
        }
        out.push_back(0);
        out.push_back(0);
        strings.emplace(n.name, at);
        return at;
    };
    for (size_t i = 0; i < resources.size(); ++i)
    {
        const auto& r = resources[i];
        Entry& e = entries[i];
        e.typeId = r.type.numeric ? r.type.id : 0;
        e.typeNameOffset = stringOffset(r.type);
        e.nameId = r.name.numeric ? r.name.id : 0;
        e.nameNameOffset = stringOffset(r.name);
        e.language = r.language;
    }
    for (size_t i = 0; i < resources.size(); ++i)
    {
        Align(out, kDataAlign);
        entries[i].dataOffset = Offset(out.size());
        entries[i].dataSize = Offset(resources[i].data.size());
        out.insert(out.end(), resources[i].data.begin(), resources[i].data.end());
    }
    Align(out, kBlobAlign);

    BlobHeader header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.totalSize = Offset(out.size());
    header.count = Offset(resources.size());
    std::memcpy(out.data(), &header, sizeof header);
    if (!entries.empty())
        std::memcpy(out.data() + sizeof header, entries.data(), entries.size() * sizeof(Entry));
    return out;
}

std::string GenerateSource(const std::vector<uint8_t>& blob, const std::string& scriptName)
{
    static const char kHex[] = "0123456789abcdef";
    std::string s;
    s.reserve(blob.size() * 5 + 1024);
    s += "// Resources compiled by qmrc from " + scriptName + ". Generated; do not edit.\n";
    s += "#include \"qm/module.h\"\n\nnamespace\n{\n";
    s += "alignas(16) __attribute__((section(\"qm_rsrc\"), used)) const unsigned char kResources[" +
         std::to_string(blob.size()) + "] = {\n";
    for (size_t i = 0; i < blob.size(); ++i)
    {
        s += "0x";
        s += kHex[blob[i] >> 4];
        s += kHex[blob[i] & 15];
        s += (i % 20 == 19) ? ",\n" : ",";
    }
    s += "\n};\n\n";
    s += "// Before the module's other initialisers, so that they (and DllMain) find the resources.\n";
    s += "__attribute__((constructor(101))) void RegisterResources()\n{\n"
         "    qm::RegisterModuleResources(kResources, kResources, sizeof kResources);\n}\n\n";
    s += "__attribute__((destructor(101))) void UnregisterResources()\n{\n"
         "    qm::UnregisterModuleResources(kResources);\n}\n";
    s += "} // namespace\n";
    return s;
}
} // namespace qm::rc
