// The resource reader over arbitrary section bytes, both ways a module's resources are read:
// registered as the resources of a loaded module (FindResourceW, LoadStringW, LockResource)
// and read from a library file without loading it (GetFileVersionInfoW). Whatever the bytes,
// every answer lies inside the data, and VerQueryValueW answers inside the block it is given.
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "qm/module.h"
#include "qm/resource_format.h"
#include "windows.h"
#include "winver.h"

namespace
{
std::filesystem::path g_file;
std::u16string g_fileName;
HMODULE g_self = nullptr;
volatile uint8_t g_sink;

void Touch(const void* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        g_sink = g_sink + static_cast<const uint8_t*>(p)[i];
}

void RemoveFile()
{
    std::error_code ec;
    std::filesystem::remove(g_file, ec);
}

// Every answer of VerQueryValueW lies inside the block.
void QueryVersion(const uint8_t* block, size_t size)
{
    static const char16_t* const kFixed[] = {u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo"};
    std::vector<std::u16string> queries(std::begin(kFixed), std::end(kFixed));
    void* p = nullptr;
    UINT cb = 0;
    if (VerQueryValueW(block, u"\\VarFileInfo\\Translation", &p, &cb) && cb >= 4)
    {
        WORD lang[2];
        std::memcpy(lang, p, 4);
        static const char16_t hex[] = u"0123456789abcdef";
        std::u16string code;
        for (WORD w : {lang[0], lang[1]})
            for (int shift = 12; shift >= 0; shift -= 4)
                code += hex[(w >> shift) & 15];
        for (const char16_t* name : {u"FileVersion", u"ProductName", u"CompanyName"})
            queries.push_back(u"\\StringFileInfo\\" + code + u"\\" + name);
    }
    queries.push_back(u"\\StringFileInfo\\080404b0\\FileVersion");
    queries.push_back(u"\\StringFileInfo\\040904b0\\ProductVersion");
    for (const auto& q : queries)
    {
        p = nullptr;
        cb = 0;
        if (!VerQueryValueW(block, q.c_str(), &p, &cb))
            continue;
        auto* b = static_cast<const uint8_t*>(p);
        // Text answers count characters, binary ones bytes: at least cb bytes are inside.
        if (b < block || b > block + size || (cb && size_t(block + size - b) < cb))
            __builtin_trap();
        Touch(b, cb);
    }
}

void ReadLoaded(const uint8_t* data, size_t size)
{
    // Diagnostics of a refused directory go to stderr: not once per input.
    int saved = dup(2);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    qm::RegisterModuleResources(reinterpret_cast<const void*>(&ReadLoaded), data, size);
    dup2(saved, 2);
    close(saved);
    close(null);

    // A refused directory leaves the module without resources: every lookup would answer
    // the same, each after a look at the loaded modules. One is enough.
    if (!FindResourceW(g_self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)) &&
        GetLastError() == ERROR_RESOURCE_DATA_NOT_FOUND)
    {
        char16_t text[8];
        if (LoadStringW(g_self, 1, text, 8) != 0)
            __builtin_trap();
        qm::UnregisterModuleResources(data);
        return;
    }
    static const WORD kTypes[] = {1, 2, 3, 4, 5, 6, 10, 14, 16, 23, 240};
    static const WORD kNames[] = {0, 1, 2, 7, 100, 101, 1000, 0xFFFF};
    for (WORD type : kTypes)
        for (WORD name : kNames)
        {
            HRSRC found = FindResourceW(g_self, MAKEINTRESOURCEW(name), MAKEINTRESOURCEW(type));
            if (!found)
                continue;
            DWORD cb = SizeofResource(g_self, found);
            HGLOBAL loaded = LoadResource(g_self, found);
            const void* p = loaded ? LockResource(loaded) : nullptr;
            if (!p)
                __builtin_trap();
            auto* b = static_cast<const uint8_t*>(p);
            if (b < data || b + cb > data + size)
                __builtin_trap();
            Touch(b, cb);
            // VerQueryValueW has no size: the block's own root length bounds it, so a block
            // longer than its resource is not given to it (GetFileVersionInfoW cuts it).
            WORD rootLength = 0;
            if (cb >= 2)
                std::memcpy(&rootLength, b, 2);
            if (type == 16 && cb >= 6 && rootLength <= cb)
            {
                // A copy of exactly the resource's size: a read past it must show.
                std::unique_ptr<uint8_t[]> block(new uint8_t[cb]);
                std::memcpy(block.get(), b, cb);
                QueryVersion(block.get(), cb);
            }
        }
    for (const char16_t* name : {u"#101", u"CHAIN", u"RSA-TEST"})
        for (const char16_t* type : {u"XML", u"#10", u"CHAINS"})
            if (HRSRC found = FindResourceW(g_self, name, type))
                Touch(LockResource(LoadResource(g_self, found)), SizeofResource(g_self, found));
    for (WORD language : {WORD(0), WORD(0x0409), WORD(0x0804)})
        FindResourceExW(g_self, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(1), language);
    for (UINT id : {0u, 1u, 15u, 16u, 100u, 101u, 1000u, 40000u, 65535u})
    {
        char16_t text[64];
        int n = LoadStringW(g_self, id, text, 64);
        if (n < 0 || n > 63 || (n && text[n] != 0))
            __builtin_trap();
        // With no buffer size the answer points at the text inside the resource.
        const char16_t* inside = nullptr;
        n = LoadStringW(g_self, id, reinterpret_cast<LPWSTR>(&inside), 0);
        if (n > 0)
        {
            auto* b = reinterpret_cast<const uint8_t*>(inside);
            if (b < data || b + size_t(n) * 2 > data + size)
                __builtin_trap();
            Touch(b, size_t(n) * 2);
        }
    }
    qm::UnregisterModuleResources(data);
}

// A 64-bit ELF file whose only section besides the names is the resource section.
void WriteLibrary(const uint8_t* data, size_t size)
{
    static const char kNames[] = "\0qm_rsrc\0.shstrtab";
    Elf64_Ehdr eh{};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_DYN;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_ehsize = sizeof eh;
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = 3;
    eh.e_shstrndx = 2;
    const size_t namesAt = sizeof eh + size;
    eh.e_shoff = (namesAt + sizeof kNames + 7) & ~size_t{7};
    Elf64_Shdr sh[3]{};
    sh[1].sh_name = 1;
    sh[1].sh_type = SHT_PROGBITS;
    sh[1].sh_offset = sizeof eh;
    sh[1].sh_size = size;
    sh[2].sh_name = 9;
    sh[2].sh_type = SHT_STRTAB;
    sh[2].sh_offset = namesAt;
    sh[2].sh_size = sizeof kNames;
    std::string file(reinterpret_cast<const char*>(&eh), sizeof eh);
    file.append(reinterpret_cast<const char*>(data), size);
    file.append(kNames, sizeof kNames);
    file.resize(eh.e_shoff, '\0');
    file.append(reinterpret_cast<const char*>(sh), sizeof sh);
    std::ofstream(g_file, std::ios::binary | std::ios::trunc).write(file.data(), std::streamsize(file.size()));
}

void ReadFromFile(const uint8_t* data, size_t size)
{
    WriteLibrary(data, size);
    DWORD handle = 0;
    DWORD cb = GetFileVersionInfoSizeW(g_fileName.c_str(), &handle);
    if (cb == 0)
        return;
    std::unique_ptr<uint8_t[]> block(new uint8_t[cb]);
    if (!GetFileVersionInfoW(g_fileName.c_str(), 0, cb, block.get()))
        __builtin_trap(); // the size answer promised a block
    QueryVersion(block.get(), cb);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    g_file = base / ("qm-resource-fuzz-" + std::to_string(::getpid()) + ".so");
    std::string path = g_file.string();
    g_fileName.assign(path.begin(), path.end());
    std::atexit(RemoveFile);
    g_self = GetModuleHandleW(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The directory is read in place, as from a module's read-only data: an aligned copy of
    // exactly the input's size.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    ReadLoaded(copy.get(), size);
    ReadFromFile(copy.get(), size);
    return 0;
}
