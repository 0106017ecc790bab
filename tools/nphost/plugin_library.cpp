#include "plugin_library.h"

#include <cstdio>
#include <dlfcn.h>
#include <vector>

#include "platform_calls.h"
#include "utf8.h"

namespace nphost
{
PluginLibrary::~PluginLibrary() { Unload(); }

bool PluginLibrary::Load(const std::string& path)
{
    // The library's DllMain runs from its loader glue as it is loaded.
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
    {
        const char* text = dlerror();
        m_error = text != nullptr ? text : "cannot load " + path;
        return false;
    }
    return true;
}

void PluginLibrary::Unload()
{
    if (m_handle != nullptr)
        dlclose(m_handle);
    m_handle = nullptr;
}

void* PluginLibrary::Export(const char* name) const
{
    return m_handle != nullptr ? dlsym(m_handle, name) : nullptr;
}

std::optional<std::string> VersionResourceMimeType(const std::string& path)
{
    const std::u16string file = Utf8ToUtf16(path);
    std::vector<uint8_t> block;
    if (!ReadVersionResource(file.c_str(), block))
        return std::nullopt;

    // The language and code page of the string table: the first translation, else the
    // usual US English Unicode table.
    std::vector<std::u16string> tables;
    if (auto translation = QueryVersionValue(block, u"\\VarFileInfo\\Translation");
        translation && translation->size() >= 4)
    {
        const auto* words = reinterpret_cast<const uint16_t*>(translation->data());
        char name[16];
        std::snprintf(name, sizeof name, "%04x%04x", words[0], words[1]);
        tables.push_back(Utf8ToUtf16(name));
    }
    tables.push_back(u"040904b0");
    tables.push_back(u"040904e4");
    for (const auto& table : tables)
    {
        auto value = QueryVersionValue(block, u"\\StringFileInfo\\" + table + u"\\MIMEType");
        if (!value)
            continue;
        std::u16string text(reinterpret_cast<const char16_t*>(value->data()),
                            value->size() / sizeof(char16_t));
        if (auto end = text.find(u'\0'); end != std::u16string::npos)
            text.resize(end);
        if (auto bar = text.find(u'|'); bar != std::u16string::npos)
            text.resize(bar);
        if (!text.empty())
            return Utf16ToUtf8(text);
    }
    return std::nullopt;
}

std::string FirstMimeType(const std::string& description)
{
    const auto end = description.find_first_of(":;");
    return description.substr(0, end);
}
} // namespace nphost
