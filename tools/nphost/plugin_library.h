// A plug-in library loaded as a browser loads it, and what it says about itself.
#pragma once

#include <optional>
#include <string>

namespace nphost
{
class PluginLibrary
{
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // False with a message in Error().
    bool Load(const std::string& path);
    void Unload();
    // Null when the library does not export the name.
    void* Export(const char* name) const;
    const std::string& Error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

// The first MIME type of the library's version resource ("MIMEType", types separated
// by '|'), or nothing when the file has no such entry.
std::optional<std::string> VersionResourceMimeType(const std::string& path);
// The first type of an NP_GetMIMEDescription text ("type:ext:description;...").
std::string FirstMimeType(const std::string& description);
} // namespace nphost
