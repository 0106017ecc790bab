#include "SystemFolders.h"

#include <cstring>
#include <string>

#include "MiddlewareConfig.h"
#include "sysinfoapi.h"
#include "wow64apiset.h"
#include "windows.h"

namespace
{
void CopyOut(char* buffer, const char* text)
{
    std::strncpy(buffer, text, 259);
    buffer[259] = 0;
}

bool ReadHklmText(const char* key, const char* value, char out[261])
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return false;
    std::memset(out, 0, 261);
    DWORD size = 260;
    LSTATUS st = RegQueryValueExA(h, value, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(h);
    return st == ERROR_SUCCESS;
}

bool IsWow64()
{
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    if (!kernel)
        return false;
    BOOL wow64 = FALSE;
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto fn = reinterpret_cast<Fn>(GetProcAddress(kernel, "IsWow64Process"));
    bool result = fn && fn(GetCurrentProcess(), &wow64) && wow64;
    FreeLibrary(kernel);
    return result;
}
} // namespace

void GetSystemFolder32(char* buffer)
{
    char path[MAX_PATH] = {};
    UINT n = IsWow64() ? GetSystemWow64DirectoryA(path, MAX_PATH) : GetSystemDirectoryA(path, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        CopyOut(buffer, path);
}

void GetSystemFolder(char* buffer)
{
    char path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        CopyOut(buffer, path);
}

void ReadMiddlewarePath(char* buffer)
{
    char value[261];
    if (ReadHklmText(g_middlewareConfig.registryKey, "Path", value))
        CopyOut(buffer, value);
}

void ReadProgramFilesDir(char* buffer)
{
    char value[261];
    if (ReadHklmText("SOFTWARE\\Microsoft\\windows\\CurrentVersion", "ProgramFilesDir", value))
        CopyOut(buffer, value);
}

void GetProgramFilesDrive(char* buffer)
{
    char folder[260] = {};
    ReadProgramFilesDir(folder);
    folder[2] = 0;
    CopyOut(buffer, folder);
}

void GetPassGuardFolder(char* buffer)
{
    char path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    std::string folder = std::string(path) + "\\MicroDone\\PassGuard";
    CopyOut(buffer, folder.c_str());
}
