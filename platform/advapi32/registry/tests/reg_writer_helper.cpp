// Second process for the registry tests, on the machine named by QM_MACHINE.
//   reg_writer_helper write <HKCU path> <prefix> <count>   one REG_DWORD and one subkey per item
//   reg_writer_helper read <HKCU path> <value>             prints a REG_SZ value as UTF-8
#include <cstdio>
#include <cstdlib>
#include <string>

#include "winreg.h"

static std::u16string Widen(const char* s)
{
    std::u16string out;
    while (*s)
        out += char16_t(static_cast<unsigned char>(*s++));
    return out;
}

int main(int argc, char** argv)
{
    if (argc < 4)
        return 64;
    std::string mode = argv[1];
    std::u16string path = Widen(argv[2]);
    if (mode == "write" && argc == 5)
    {
        std::string prefix = argv[3];
        int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i)
        {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) != ERROR_SUCCESS)
                return 1;
            std::u16string name = Widen((prefix + std::to_string(i)).c_str());
            DWORD value = DWORD(i);
            if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) != ERROR_SUCCESS)
                return 2;
            HKEY sub = nullptr;
            if (RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr) != ERROR_SUCCESS)
                return 3;
            RegCloseKey(sub);
            RegCloseKey(key);
        }
        return 0;
    }
    if (mode == "read")
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return 2;
        char16_t buf[256] = {};
        DWORD size = sizeof buf - 2;
        std::u16string name = Widen(argv[3]);
        if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
            return 3;
        for (char16_t* p = buf; *p; ++p)
            std::putchar(*p < 0x80 ? char(*p) : '?');
        return 0;
    }
    return 64;
}
