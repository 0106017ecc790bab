// SHGetFolderPathW: the user's and the machine's folders on drive C.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kernel_objects.h"
#include "shlobj.h"
#include "winbase.h"

namespace
{
std::u16string UserName()
{
    std::string user;
    if (const char* u = std::getenv("USER"); u && *u)
        user = u;
    else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        user = pw->pw_name;
    else
        user = "User";
    std::u16string wide;
    for (unsigned char c : user)
        wide += char16_t(c < 0x80 ? c : u'_');
    return wide;
}
} // namespace

QMAPI HRESULT WINAPI SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath)
{
    if (!pszPath)
        return E_INVALIDARG;
    std::u16string path;
    switch (csidl & 0xFF)
    {
    case CSIDL_APPDATA:
        path = u"C:\\Users\\" + UserName() + u"\\AppData\\Roaming";
        break;
    case CSIDL_LOCAL_APPDATA:
        path = u"C:\\Users\\" + UserName() + u"\\AppData\\Local";
        break;
    case CSIDL_PROGRAM_FILES:
        path = u"C:\\Program Files";
        break;
    case CSIDL_PROGRAM_FILESX86:
        path = u"C:\\Program Files (x86)";
        break;
    default:
        pszPath[0] = 0;
        return E_INVALIDARG;
    }
    if (csidl & CSIDL_FLAG_CREATE)
    {
        std::error_code ec;
        std::filesystem::create_directories(qm::kernel32::MachinePath(path.c_str()), ec);
    }
    path.copy(pszPath, path.size());
    pszPath[path.size()] = 0;
    return S_OK;
}
