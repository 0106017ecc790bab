// Any script text either parses or is refused with a message, never anything worse; a
// parsed script holds only names that can be keys.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "registrar_script.h"

namespace
{
void Check(const std::vector<qm::atl::ScriptKey>& keys)
{
    for (const auto& k : keys)
    {
        if (k.name.empty() || k.name.find(u'\\') != std::u16string::npos)
            std::abort();
        Check(k.subkeys);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string text;
    for (size_t i = 0; i < size; ++i)
        text += char16_t(data[i]);
    qm::atl::Replacements repl{{u"APPID", u"{AF}"}, {u"MODULE", u"/bin/x'y"}};
    qm::atl::ParseResult r = qm::atl::ParseRegistrarScript(text, repl);
    if (r.error.empty() == false && !r.roots.empty())
        std::abort();
    for (const auto& root : r.roots)
        Check(root.keys);
    return 0;
}
