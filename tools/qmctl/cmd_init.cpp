// qmctl init: a machine with the defaults of the Windows the kit was made for.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "command.h"
#include "qm/com_registration.h"
#include "qm/csp_registration.h"
#include "qm/machine.h"
#include "reg_text.h"
#include "reg_walk.h"
#include "system_links.h"

namespace qmctl
{
namespace
{
struct Fact
{
    const char16_t* key;
    const char16_t* name;
    const char16_t* value;
};

// Facts the machine reports as Windows does; values already present are kept.
const Fact kFacts[] = {
    {u"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", u"ACP", u"936"},
    {u"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", u"InstallLanguage", u"0409"},
    {u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"CurrentVersion", u"6.1"},
    {u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"CurrentBuildNumber", u"7601"},
    {u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"ProductName", u"Windows 7 Professional"},
    {u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"CSDVersion", u"Service Pack 1"},
    {u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"EditionID", u"Professional"},
    {u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", u"ProductType", u"WinNT"},
    {u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", u"PROCESSOR_ARCHITECTURE", u"x86"},
    {u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", u"ProgramFilesDir", u"C:\\Program Files"},
    {u"SOFTWARE\\Microsoft\\Internet Explorer", u"Version", u"8.0.7601.17514"},
};

// The logged-on user: an administrator, as on a machine set up by its owner, whose desktop
// shell runs in the session (the shell's account is how programs find the user).
const char16_t kUsersKey[] = u"SOFTWARE\\Quillmark\\Machine\\Users\\";
const char16_t kShellKey[] = u"SOFTWARE\\Quillmark\\Machine\\Processes\\1948";
const char16_t kUserSid[] = u"S-1-5-21-3623811015-3361044348-30300820-1000";
const char16_t kUserGroups[] = u"Administrators\0Users\0";

const char16_t kMachineStores[] = u"SOFTWARE\\Microsoft\\SystemCertificates";
const char16_t kUserStores[] = u"Software\\Microsoft\\SystemCertificates";
const char16_t* const kMachineKeys[] = {u"SOFTWARE\\Classes", kMachineStores};
const char16_t* const kUserKeys[] = {kUserStores};

// The system certificate stores every Windows has, in both hives, each with its lists.
const char16_t* const kCertificateStores[] = {u"ROOT", u"CA", u"MY", u"Disallowed", u"TrustedPeople",
                                              u"TrustedPublisher", u"trust", u"REQUEST"};
const char16_t* const kStoreLists[] = {u"Certificates", u"CRLs", u"CTLs"};

// System libraries whose functions the platform library carries.
const char* const kPlatformLibraries[] = {"kernel32.dll", "ntdll.dll", "netapi32.dll", "advapi32.dll", "user32.dll"};

// The platform's COM servers go under HKCR, which needs the process elevated while it writes.
HRESULT RegisterServers()
{
    const bool wasElevated = qm::IsProcessElevated();
    qm::SetProcessElevated(true);
    const HRESULT hr = qm::RegisterPlatformServers();
    qm::SetProcessElevated(wasElevated);
    return hr;
}

std::string HresultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::string UserName()
{
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return pw->pw_name;
    return "User";
}

LSTATUS EnsureKey(HKEY root, const char16_t* path)
{
    HKEY key = nullptr;
    LSTATUS st = RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr);
    if (st == ERROR_SUCCESS)
        RegCloseKey(key);
    return st;
}

// The failure for the first store key that cannot be made; empty when all are there.
std::string EnsureCertificateStores(HKEY root, const std::string& hive, const char16_t* base)
{
    for (const auto* store : kCertificateStores)
        for (const auto* list : kStoreLists)
        {
            const std::u16string path = std::u16string(base) + u"\\" + store + u"\\" + list;
            if (LSTATUS st = EnsureKey(root, path.c_str()); st != ERROR_SUCCESS)
                return hive + "\\" + Utf8(path) + ": " + StatusText(st);
        }
    return "";
}

// Writes the value unless the key has it already; a value that cannot be read is an error.
LSTATUS SetValueIfMissing(const std::u16string& path, const char16_t* name, DWORD type,
                          const std::u16string& data)
{
    HKEY key = nullptr;
    LSTATUS st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                 KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
    if (st != ERROR_SUCCESS)
        return st;
    st = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr);
    if (st == ERROR_FILE_NOT_FOUND)
        st = RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                            DWORD((data.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return st;
}

LSTATUS EnsureFact(const Fact& fact)
{
    return SetValueIfMissing(fact.key, fact.name, REG_SZ, fact.value);
}

// The account and its shell, unless the machine already has a session of its own.
std::string EnsureLoggedOnUser()
{
    HKEY processes = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmark\\Machine\\Processes", 0, KEY_READ, &processes) ==
        ERROR_SUCCESS)
    {
        RegCloseKey(processes);
        return "";
    }
    const std::u16string user = Utf16(UserName());
    const std::u16string account = std::u16string(kUsersKey) + user;
    const std::u16string groups(kUserGroups, sizeof(kUserGroups) / sizeof(char16_t) - 1);
    LSTATUS st = SetValueIfMissing(account, u"Sid", REG_SZ, kUserSid);
    if (st == ERROR_SUCCESS)
        st = SetValueIfMissing(account, u"LocalGroups", REG_MULTI_SZ, groups);
    if (st == ERROR_SUCCESS)
        st = SetValueIfMissing(kShellKey, u"ExeFile", REG_SZ, u"explorer.exe");
    if (st == ERROR_SUCCESS)
        st = SetValueIfMissing(kShellKey, u"User", REG_SZ, user);
    return st == ERROR_SUCCESS ? "" : "the logged-on user " + UserName() + ": " + StatusText(st);
}

int Run(const Args& args)
{
    if (!args.empty())
        return Fail("usage: qmctl init", kUsage);
    for (const auto* path : kMachineKeys)
        if (LSTATUS st = EnsureKey(HKEY_LOCAL_MACHINE, path); st != ERROR_SUCCESS)
            return Fail("HKEY_LOCAL_MACHINE\\" + Utf8(path) + ": " + StatusText(st));
    for (const auto* path : kUserKeys)
        if (LSTATUS st = EnsureKey(HKEY_CURRENT_USER, path); st != ERROR_SUCCESS)
            return Fail("HKEY_CURRENT_USER\\" + Utf8(path) + ": " + StatusText(st));
    if (auto e = EnsureCertificateStores(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", kMachineStores); !e.empty())
        return Fail(e);
    if (auto e = EnsureCertificateStores(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", kUserStores); !e.empty())
        return Fail(e);
    for (const auto& fact : kFacts)
        if (LSTATUS st = EnsureFact(fact); st != ERROR_SUCCESS)
            return Fail("HKEY_LOCAL_MACHINE\\" + Utf8(fact.key) + " " + Utf8(fact.name) + ": " + StatusText(st));
    if (auto e = EnsureLoggedOnUser(); !e.empty())
        return Fail(e);
    if (HRESULT hr = RegisterServers(); FAILED(hr))
        return Fail("registering the platform's COM servers in " + qm::PlatformServerDirectory().string() + ": " +
                    HresultText(hr));

    const auto drive = qm::MachineDirectory() / "drive_c";
    const std::filesystem::path folders[] = {
        "Windows", "Windows/System32", "Windows/Temp", "Program Files",
        std::filesystem::path("Users") / UserName() / "AppData/Local/Temp",
    };
    for (const auto& folder : folders)
    {
        std::error_code ec;
        std::filesystem::create_directories(drive / folder, ec);
        if (ec)
            return Fail((drive / folder).string() + ": " + ec.message());
    }
    // Windows' own libraries that programs load by name are the platform library itself.
    for (const char* name : kPlatformLibraries)
        if (auto e = LinkSystemLibrary(name, BuiltLibrary("libqmwin.so")); !e.empty())
            return Fail(e);
    // The platform's software providers: rsaenh.dll in System32 and their provider entries.
    if (auto e = LinkSystemLibrary("rsaenh.dll", BuiltLibrary("rsaenh.so")); !e.empty())
        return Fail(e);
    if (LONG st = qm::RegisterPlatformCryptProviders(); st != ERROR_SUCCESS)
        return Fail("registering the platform's cryptographic providers: " + StatusText(st));
    return kOk;
}

const CommandRegistration kInit({
    "init",
    "qmctl init\n",
    "  Makes the machine (again: nothing that exists is changed): the registry hives\n"
    "  with the facts of a 32-bit Windows 7 Professional SP1 (Nls CodePage ACP 936,\n"
    "  Language InstallLanguage 0409, Windows NT\\CurrentVersion 6.1 build 7601\n"
    "  \"Windows 7 Professional\" EditionID Professional, ProductType WinNT, processor\n"
    "  x86, ProgramFilesDir, Internet Explorer 8), the logged-on user (the Linux user's\n"
    "  name, in Administrators and Users) with the desktop shell explorer.exe running\n"
    "  as that user,\n"
    "  the system certificate stores of the machine and the user (ROOT, CA, MY,\n"
    "  Disallowed, TrustedPeople, TrustedPublisher, trust, REQUEST, each with its\n"
    "  Certificates, CRLs and CTLs keys),\n"
    "  the platform's COM servers (the MSXML DOM document) registered under HKCR\\CLSID,\n"
    "  and drive_c with Windows, Windows\\System32, Windows\\Temp, Program Files and\n"
    "  Users\\<user>\\AppData\\Local\\Temp; the platform's software providers (Base,\n"
    "  Enhanced, Enhanced RSA and AES, Strong) with rsaenh.dll in System32; kernel32.dll,\n"
    "  ntdll.dll, netapi32.dll, advapi32.dll and user32.dll in System32 linked to the\n"
    "  platform library.\n",
    Run,
});
} // namespace
} // namespace qmctl
