#include "reg_walk.h"

#include <algorithm>
#include <cstdio>

#include "reg_text.h"

namespace qmctl
{
namespace
{
std::u16string Fold(const std::u16string& s)
{
    std::u16string out = s;
    for (auto& c : out)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - 0x20);
    return out;
}
} // namespace

LSTATUS ReadValues(HKEY key, std::vector<Value>& values)
{
    values.clear();
    DWORD count = 0, maxName = 0, maxData = 0;
    if (LSTATUS st = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName,
                                      &maxData, nullptr, nullptr);
        st != ERROR_SUCCESS)
        return st;
    for (DWORD i = 0;; ++i)
    {
        std::u16string name(maxName + 1, u'\0');
        std::vector<BYTE> data(maxData);
        DWORD nameCount = DWORD(name.size()), size = DWORD(data.size()), type = 0;
        LSTATUS st = RegEnumValueW(key, i, name.data(), &nameCount, nullptr, &type, data.data(), &size);
        if (st == ERROR_NO_MORE_ITEMS)
            break;
        if (st == ERROR_MORE_DATA) // grown meanwhile
        {
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData,
                             nullptr, nullptr);
            --i;
            continue;
        }
        if (st != ERROR_SUCCESS)
            return st;
        name.resize(nameCount);
        data.resize(size);
        values.push_back({std::move(name), type, std::move(data)});
    }
    std::sort(values.begin(), values.end(), [](const Value& a, const Value& b) {
        auto fa = Fold(a.name), fb = Fold(b.name);
        return fa != fb ? fa < fb : a.name < b.name;
    });
    return ERROR_SUCCESS;
}

LSTATUS ReadSubKeys(HKEY key, std::vector<std::u16string>& names)
{
    names.clear();
    for (DWORD i = 0;; ++i)
    {
        char16_t name[QM_REG_MAX_KEY_NAME + 1];
        DWORD count = QM_REG_MAX_KEY_NAME + 1;
        LSTATUS st = RegEnumKeyExW(key, i, name, &count, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (st != ERROR_SUCCESS)
            return st;
        names.emplace_back(name, count);
    }
}

LSTATUS PrintSubKeyNames(HKEY root, const char16_t* path)
{
    HKEY key = nullptr;
    if (LSTATUS st = RegOpenKeyExW(root, path, 0, KEY_READ, &key); st != ERROR_SUCCESS)
        return st == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : st;
    std::vector<std::u16string> names;
    LSTATUS st = ReadSubKeys(key, names);
    RegCloseKey(key);
    if (st != ERROR_SUCCESS)
        return st;
    for (const auto& name : names)
        std::printf("%s\n", Utf8(name).c_str());
    return ERROR_SUCCESS;
}

std::string StatusText(LSTATUS status)
{
    const char* text = "error";
    switch (status)
    {
    case ERROR_FILE_NOT_FOUND: text = "not found"; break;
    case ERROR_ACCESS_DENIED: text = "access denied"; break;
    case ERROR_KEY_DELETED: text = "key deleted"; break;
    case ERROR_INVALID_PARAMETER: text = "invalid parameter"; break;
    case ERROR_BAD_PATHNAME: text = "bad path"; break;
    case ERROR_BUSY: text = "registry busy"; break;
    case ERROR_CANTOPEN: text = "cannot open the hive"; break;
    case ERROR_CANTWRITE: text = "cannot write the hive"; break;
    case ERROR_CANTREAD: text = "cannot read the hive"; break;
    case ERROR_BADKEY: text = "damaged hive"; break;
    }
    return std::string(text) + " (" + std::to_string(status) + ")";
}
} // namespace qmctl
