// qmctl reg: query, set, delete and dump registry keys and values.
#include <cstdio>

#include "command.h"
#include "reg_text.h"
#include "reg_walk.h"

namespace qmctl
{
namespace
{
const char* const kDefaultSeparator = "\\0";

// Takes "--separator S" out of the arguments.
bool TakeSeparator(Args& args, std::string& separator)
{
    separator = kDefaultSeparator;
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i] == "--separator")
        {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return false;
            separator = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            --i;
        }
    return true;
}

std::u16string ValueArg(const std::string& text)
{
    return text == "@" ? std::u16string() : Utf16(text);
}

struct OpenKey
{
    HKEY key = nullptr;
    ~OpenKey()
    {
        if (key)
            RegCloseKey(key);
    }
};

int Query(Args args)
{
    std::string separator;
    if (!TakeSeparator(args, separator) || args.empty() || args.size() > 2)
        return Fail("usage: qmctl reg query KEY [VALUE] [--separator S]", kUsage);
    auto path = ParseKeyPath(args[0]);
    if (!path)
        return Fail("not a registry key: " + args[0], kUsage);
    OpenKey key;
    if (LSTATUS st = RegOpenKeyExW(path->root, path->subKey.c_str(), 0, KEY_READ, &key.key); st != ERROR_SUCCESS)
        return Fail(path->Display() + ": " + StatusText(st));
    if (args.size() == 2)
    {
        std::u16string name = ValueArg(args[1]);
        DWORD type = 0, size = 0;
        LSTATUS st = RegQueryValueExW(key.key, name.c_str(), nullptr, &type, nullptr, &size);
        std::vector<BYTE> data(size);
        while (st == ERROR_SUCCESS || st == ERROR_MORE_DATA)
        {
            data.resize(size);
            st = RegQueryValueExW(key.key, name.c_str(), nullptr, &type, data.data(), &size);
            if (st == ERROR_SUCCESS)
                break;
        }
        if (st != ERROR_SUCCESS)
            return Fail(path->Display() + " " + args[1] + ": " + StatusText(st));
        data.resize(size);
        std::printf("%s %s\n", TypeName(type).c_str(), PlainData(type, data, separator).c_str());
        return kOk;
    }
    std::vector<Value> values;
    std::vector<std::u16string> subKeys;
    if (LSTATUS st = ReadValues(key.key, values); st != ERROR_SUCCESS)
        return Fail(path->Display() + ": " + StatusText(st));
    if (LSTATUS st = ReadSubKeys(key.key, subKeys); st != ERROR_SUCCESS)
        return Fail(path->Display() + ": " + StatusText(st));
    std::printf("[%s]\n", path->Display().c_str());
    for (const auto& v : values)
        std::printf("%s=%s\n", QuoteName(v.name).c_str(), DumpData(v.type, v.data).c_str());
    for (const auto& name : subKeys)
        std::printf("%s\\\n", Utf8(name).c_str());
    return kOk;
}

int Set(Args args)
{
    std::string separator;
    if (!TakeSeparator(args, separator) || args.size() != 4)
        return Fail("usage: qmctl reg set KEY VALUE TYPE DATA [--separator S]", kUsage);
    auto path = ParseKeyPath(args[0]);
    if (!path || path->subKey.empty())
        return Fail("not a registry key below a root: " + args[0], kUsage);
    auto type = ParseType(args[2]);
    if (!type)
        return Fail("unknown value type " + args[2], kUsage);
    std::string error;
    auto data = ParseData(*type, args[3], separator, error);
    if (!data)
        return Fail(error, kUsage);
    OpenKey key;
    if (LSTATUS st = RegCreateKeyExW(path->root, path->subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     &key.key, nullptr);
        st != ERROR_SUCCESS)
        return Fail(path->Display() + ": " + StatusText(st));
    std::u16string name = ValueArg(args[1]);
    if (LSTATUS st = RegSetValueExW(key.key, name.c_str(), 0, *type, data->data(), DWORD(data->size()));
        st != ERROR_SUCCESS)
        return Fail(path->Display() + " " + args[1] + ": " + StatusText(st));
    return kOk;
}

int Delete(const Args& args)
{
    if (args.empty() || args.size() > 2)
        return Fail("usage: qmctl reg delete KEY [VALUE]", kUsage);
    auto path = ParseKeyPath(args[0]);
    if (!path)
        return Fail("not a registry key: " + args[0], kUsage);
    if (args.size() == 2)
    {
        OpenKey key;
        if (LSTATUS st = RegOpenKeyExW(path->root, path->subKey.c_str(), 0, KEY_SET_VALUE, &key.key);
            st != ERROR_SUCCESS)
            return Fail(path->Display() + ": " + StatusText(st));
        if (LSTATUS st = RegDeleteValueW(key.key, ValueArg(args[1]).c_str()); st != ERROR_SUCCESS)
            return Fail(path->Display() + " " + args[1] + ": " + StatusText(st));
        return kOk;
    }
    if (path->subKey.empty())
        return Fail("a root key cannot be deleted: " + args[0], kUsage);
    if (LSTATUS st = RegDeleteTreeW(path->root, path->subKey.c_str()); st != ERROR_SUCCESS)
        return Fail(path->Display() + ": " + StatusText(st));
    return kOk;
}

LSTATUS DumpKey(HKEY key, const std::string& display)
{
    std::vector<Value> values;
    std::vector<std::u16string> subKeys;
    if (LSTATUS st = ReadValues(key, values); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = ReadSubKeys(key, subKeys); st != ERROR_SUCCESS)
        return st;
    std::printf("[%s]\n", display.c_str());
    for (const auto& v : values)
        std::printf("%s=%s\n", QuoteName(v.name).c_str(), DumpData(v.type, v.data).c_str());
    std::printf("\n");
    for (const auto& name : subKeys)
    {
        OpenKey sub;
        LSTATUS st = RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &sub.key);
        if (st == ERROR_FILE_NOT_FOUND)
            continue; // deleted while we walked
        if (st != ERROR_SUCCESS)
            return st;
        if ((st = DumpKey(sub.key, display + "\\" + Utf8(name))) != ERROR_SUCCESS)
            return st;
    }
    return ERROR_SUCCESS;
}

int Dump(const Args& args)
{
    if (args.size() > 1)
        return Fail("usage: qmctl reg dump [KEY]", kUsage);
    std::vector<std::string> roots = args.empty() ? std::vector<std::string>{"HKLM", "HKCU"} : args;
    for (const auto& text : roots)
    {
        auto path = ParseKeyPath(text);
        if (!path)
            return Fail("not a registry key: " + text, kUsage);
        OpenKey key;
        LSTATUS st = RegOpenKeyExW(path->root, path->subKey.c_str(), 0, KEY_READ, &key.key);
        if (st == ERROR_SUCCESS)
            st = DumpKey(key.key, path->Display());
        if (st != ERROR_SUCCESS)
            return Fail(path->Display() + ": " + StatusText(st));
    }
    return kOk;
}

int Run(const Args& args)
{
    if (args.empty())
        return Fail("usage: qmctl reg query|set|delete|dump ...", kUsage);
    Args rest(args.begin() + 1, args.end());
    if (args[0] == "query")
        return Query(rest);
    if (args[0] == "set")
        return Set(rest);
    if (args[0] == "delete")
        return Delete(rest);
    if (args[0] == "dump")
        return Dump(rest);
    return Fail("unknown reg command " + args[0], kUsage);
}

const CommandRegistration kReg({
    "reg",
    "qmctl reg query KEY [VALUE] [--separator S]\n"
    "qmctl reg set KEY VALUE TYPE DATA [--separator S]\n"
    "qmctl reg delete KEY [VALUE]\n"
    "qmctl reg dump [KEY]\n",
    "  KEY is ROOT or ROOT\\PATH, ROOT one of HKLM, HKCU, HKCR or their long names\n"
    "  (HKEY_LOCAL_MACHINE ...), any case. VALUE \"@\" is the key's default value.\n"
    "  query KEY VALUE prints \"TYPE DATA\": strings as they are, REG_DWORD and\n"
    "    REG_QWORD in decimal, REG_BINARY and REG_NONE as lower-case hex,\n"
    "    REG_MULTI_SZ items joined with the separator (default \\0, the two\n"
    "    characters backslash and zero).\n"
    "  query KEY prints \"[KEY]\", one line per value as in dump, then one line\n"
    "    \"NAME\\\" per subkey.\n"
    "  set creates the key when needed. TYPE is REG_SZ, REG_EXPAND_SZ (DATA is text),\n"
    "    REG_DWORD, REG_QWORD (a number, decimal or 0x hex), REG_BINARY, REG_NONE\n"
    "    (hex digits, two per byte) or REG_MULTI_SZ (items split at the separator).\n"
    "  delete KEY removes the key with everything below it; delete KEY VALUE one value.\n"
    "  dump prints the subtree (default: HKLM, then HKCU), each key as \"[PATH]\",\n"
    "    its values sorted by name without regard to case as NAME=TYPE:DATA, and\n"
    "    an empty line; subkeys follow in the registry's order. NAME is \"@\" or\n"
    "    quoted; DATA is quoted text (\\\\ \\\" \\n \\r \\t \\xHH escaped), a list of\n"
    "    quoted texts joined by \",\", 0x%08x / 0x%016x numbers, or hex bytes.\n",
    Run,
});
} // namespace
} // namespace qmctl
