// The res: protocol: res://<module file>/<name> serves the module's RT_HTML resource of that
// name (names compare without case, as resource names do). The module is the program when
// the file is the program's own, else a loaded library of that path.
#include <cstring>

#include "browser.h"
#include "libloaderapi.h"

namespace qm::web
{
namespace
{
constexpr WORD kRtHtml = 23;

const char* MimeType(const std::string& name)
{
    auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(g_ascii_tolower(c));
    if (ext == "htm" || ext == "html")
        return "text/html";
    if (ext == "js")
        return "application/javascript";
    if (ext == "css")
        return "text/css";
    if (ext == "png")
        return "image/png";
    if (ext == "gif")
        return "image/gif";
    if (ext == "jpg" || ext == "jpeg")
        return "image/jpeg";
    return "application/octet-stream";
}

HMODULE ModuleOf(const std::string& file, bool* found)
{
    *found = true;
    char16_t self[1024];
    DWORD n = GetModuleFileNameW(nullptr, self, 1024);
    if (n && n < 1024 && ToUtf8(std::u16string(self, n)) == file)
        return nullptr;
    HMODULE h = GetModuleHandleW(ToUtf16(file).c_str());
    *found = h != nullptr;
    return h;
}

void Fail(WebKitURISchemeRequest* request, const std::string& why)
{
    GError* err = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, why.c_str());
    webkit_uri_scheme_request_finish_error(request, err);
    g_error_free(err);
}
} // namespace

void ServeResource(WebKitURISchemeRequest* request)
{
    // res://host/path: the module file is everything up to the last "/", however many
    // slashes a file path brings.
    std::string uri = webkit_uri_scheme_request_get_uri(request);
    std::string rest = uri.substr(std::strlen("res://"));
    if (auto q = rest.find_first_of("?#"); q != std::string::npos)
        rest.resize(q);
    gchar* unescaped = g_uri_unescape_string(rest.c_str(), nullptr);
    rest = unescaped ? unescaped : "";
    g_free(unescaped);
    auto slash = rest.rfind('/');
    if (slash == std::string::npos || slash + 1 == rest.size())
        return Fail(request, "no resource name in " + uri);
    std::string file = rest.substr(0, slash);
    std::string name = rest.substr(slash + 1);
    bool found = false;
    HMODULE module = ModuleOf(file, &found);
    if (!found)
        return Fail(request, "module not loaded: " + file);
    std::u16string wname = ToUtf16(name);
    HRSRC res = FindResourceW(module, wname.c_str(), reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(kRtHtml)));
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes)
        return Fail(request, "no resource " + name);
    DWORD size = SizeofResource(module, res);
    // The resource stays mapped as long as its module; the stream only borrows it.
    GInputStream* stream = g_memory_input_stream_new_from_data(bytes, size, nullptr);
    webkit_uri_scheme_request_finish(request, stream, size, MimeType(name));
    g_object_unref(stream);
}
} // namespace qm::web
