#include "FileChecks.h"

#include <cstdio>
#include <mutex>

#include "CheckText.h"
#include "SystemFolders.h"
#include "wincrypt.h"

namespace
{
using FolderFn = void (*)(char*);

bool Selected(const FileCheckRow& row, int groupFlag)
{
    return row.enabled && (groupFlag == 1 ? row.group == 1 : row.group != 1);
}

HANDLE OpenForReading(const std::string& path)
{
    std::u16string wide = WideFromAcp(path.c_str());
    return CreateFileW(reinterpret_cast<LPCWSTR>(wide.c_str()), GENERIC_READ, 1, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Exists(const std::string& path)
{
    std::u16string wide = WideFromAcp(path.c_str());
    return GetFileAttributesW(reinterpret_cast<LPCWSTR>(wide.c_str())) != INVALID_FILE_ATTRIBUTES;
}
} // namespace

std::string BytesToHex(const BYTE digest[16])
{
    char text[33] = {};
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02X", digest[i]);
    return text;
}

int MD5File(HANDLE file, BYTE digest[16])
{
    int result = 2;
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    if (CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(prov, CALG_MD5, 0, 0, &hash))
    {
        BYTE block[1024];
        DWORD got = 0;
        bool readError = false, hashError = false;
        for (;;)
        {
            if (!ReadFile(file, block, sizeof block, &got, nullptr))
            {
                readError = true;
                break;
            }
            if (got == 0)
                break;
            if (!CryptHashData(hash, block, got, 0))
            {
                hashError = true;
                break;
            }
        }
        DWORD size = 16;
        if (!readError && !hashError && CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 16)
            result = 0;
    }
    if (hash)
        CryptDestroyHash(hash);
    if (prov)
        CryptReleaseContext(prov, 0);
    CloseHandle(file);
    return result;
}

int CheckFileRows(FileCheckRow* first, int count, int groupFlag, int wow64Flag)
{
    // The rows keep their last result: overlapping checks take turns at them.
    static std::mutex s_rowsLock;
    std::lock_guard lock(s_rowsLock);
    if (!first || first->relativePath[0] == 0)
        return 0;
    PVOID redirection = nullptr;
    bool redirectionOff = false;
    using DisableFn = BOOL(WINAPI*)(PVOID*);
    using RevertFn = BOOL(WINAPI*)(PVOID);
    HMODULE kernel = wow64Flag ? LoadLibraryA("kernel32.dll") : nullptr;
    if (kernel)
    {
        if (auto disable = reinterpret_cast<DisableFn>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")))
            redirectionOff = disable(&redirection) != FALSE;
    }

    char folders[7][260] = {};
    const FolderFn resolvers[7] = {GetSystemFolder32, ReadMiddlewarePath,  ReadProgramFilesDir, GetProgramFilesDrive,
                                   nullptr,           GetPassGuardFolder, GetSystemFolder};
    for (int code = 0; code < 7; ++code)
        if (resolvers[code])
            resolvers[code](folders[code]);

    for (int i = 0; i < count; ++i)
    {
        FileCheckRow& row = first[i];
        if (!Selected(row, groupFlag))
            continue;
        const char* base = row.baseFolder >= 0 && row.baseFolder < 7 ? folders[row.baseFolder] : "";
        std::string path = std::string(base) + row.relativePath;
        if (!Exists(path))
        {
            WriteCheckLogFormat(u"文件\"%s\"不存在!", path.c_str());
            row.result = 0;
            continue;
        }
        if (!row.expectedMd5 || !row.expectedMd5[0])
        {
            row.result = 1;
            continue;
        }
        HANDLE file = OpenForReading(path);
        if (file == INVALID_HANDLE_VALUE)
            continue; // an unreadable file keeps its last result
        BYTE digest[16] = {};
        if (MD5File(file, digest) == 0)
            row.result = BytesToHex(digest) == row.expectedMd5 ? 1 : 0;
    }

    if (redirectionOff)
        if (auto revert = reinterpret_cast<RevertFn>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")))
            revert(redirection);
    if (kernel)
        FreeLibrary(kernel);

    for (int i = 0; i < count; ++i)
        if (Selected(first[i], groupFlag) && first[i].result == 0)
            return groupFlag == 1 ? 2 : 1;
    return 0;
}
