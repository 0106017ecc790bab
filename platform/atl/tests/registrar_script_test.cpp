// The registrar's script parser: what a script means, and the scripts it must refuse whole.
#include <gtest/gtest.h>

#include "registrar_script.h"

using namespace qm::atl;

namespace
{
std::string Utf8(const std::u16string& s) { return std::string(s.begin(), s.end()); } // the cases are ASCII

// A compact picture of the tree: flag, name, =type:value, [val n=type:value], {subkeys}.
std::string Show(const ScriptValue& v)
{
    switch (v.type)
    {
    case ScriptValue::Type::Dword:
        return "d:" + std::to_string(v.dword);
    case ScriptValue::Type::Binary: {
        std::string s = "b:";
        for (uint8_t b : v.bytes)
            s += std::to_string(b) + ".";
        return s;
    }
    case ScriptValue::Type::String:
        break;
    }
    return "s:" + Utf8(v.text);
}

std::string Show(const ScriptKey& k)
{
    static const char* flags[] = {"", "F!", "N!", "D!"};
    std::string s = flags[int(k.flag)] + Utf8(k.name);
    if (k.defaultValue)
        s += "=" + Show(*k.defaultValue);
    for (const auto& [name, v] : k.values)
        s += "[" + Utf8(name) + "=" + Show(v) + "]";
    if (!k.subkeys.empty())
    {
        s += "{";
        for (size_t i = 0; i < k.subkeys.size(); ++i)
            s += (i ? "," : "") + Show(k.subkeys[i]);
        s += "}";
    }
    return s;
}

std::string Show(const ParseResult& r)
{
    if (!r.error.empty())
        return "error";
    std::string s;
    for (const ScriptRoot& root : r.roots)
    {
        s += Utf8(root.name) + ":";
        for (size_t i = 0; i < root.keys.size(); ++i)
            s += (i ? "," : "") + Show(root.keys[i]);
        s += ";";
    }
    return s;
}

struct Case
{
    const char16_t* script;
    const char* expected;
};

const Case kCases[] = {
    {u"", ""},
    {u"HKCR { }", "HKCR:;"},
    {u"HKCR { Kivo.EXE }", "HKCR:Kivo.EXE;"},
    {u"HKCR { 'Kivo.EXE' { val AppID = s '%APPID%' } }", "HKCR:Kivo.EXE[AppID=s:{AF}];"},
    {u"HKCR\r\n{\r\n\tNoRemove AppID\r\n\t{\r\n\t\t'%APPID%' = s 'Kivo'\r\n\t}\r\n}\r\n", "HKCR:N!AppID{{AF}=s:Kivo};"},
    {u"HKCR { NoRemove CLSID { ForceRemove {76E0} = s 'KivoProtocol Class' { ForceRemove 'Programmable' "
     u"LocalServer32 = s '%MODULE%' 'TypeLib' = s '{0463}' } } }",
     "HKCR:N!CLSID{F!{76E0}=s:KivoProtocol Class{F!Programmable,LocalServer32=s:/bin/QV,TypeLib=s:{0463}}};"},
    // Keywords without case; flags and values on one key; two roots.
    {u"hkcu { noremove Software { delete Old } } HKEY_LOCAL_MACHINE { K = D 0x10 }",
     "hkcu:N!Software{D!Old};HKEY_LOCAL_MACHINE:K=d:16;"},
    {u"HKLM { K { val N = d 4294967295 val B = b 00ff10 } }", "HKLM:K[N=d:4294967295][B=b:0.255.16.];"},
    {u"HKLM { K = d '12' }", "HKLM:K=d:12;"},
    // Quotes doubled, %% kept as %, replacement names without case, a quoted keyword is a name.
    {u"HKCR { 'it''s' = s '100%% %appid%' 'val' 'NoRemove' }", "HKCR:it's=s:100% {AF},val,NoRemove;"},
    // A replacement is text, never script: quotes and braces in it stay in the value.
    {u"HKCR { K = s '%QUOTE%' }", "HKCR:K=s:a' } HKLM { b;"},
    // Refused whole.
    {u"HKCR { K = s 'open }", "error"},
    {u"HKCR { K", "error"},
    {u"HKCR K", "error"},
    {u"HKXX { K }", "error"},
    {u"K = s 'v'", "error"},
    {u"HKCR { K } }", "error"},
    {u"HKCR { K = x 'v' }", "error"},
    {u"HKCR { K = s }", "error"},
    {u"HKCR { K = d 0x100000000 }", "error"},
    {u"HKCR { K = d 12a }", "error"},
    {u"HKCR { K = b 0f1 }", "error"},
    {u"HKCR { K = s '%UNKNOWN%' }", "error"},
    {u"HKCR { K = s '50%' }", "error"},
    {u"HKCR { val N = s 'v' }", "error"},
    {u"HKCR { K { val N s 'v' } }", "error"},
    {u"HKCR { 'A\\B' }", "error"},
    {u"HKCR { '' }", "error"},
    {u"HKCR { ForceRemove }", "error"},
    // Braces are words: one glued to a name is part of it.
    {u"HKCR {K}", "error"},
    {u"HKCR { K {L} }", "HKCR:K,{L};"},
};

TEST(RegistrarScript, ParsesTheScriptsOrRefusesThemWhole)
{
    Replacements repl{{u"APPID", u"{AF}"}, {u"Module", u"/bin/QV"}, {u"QUOTE", u"a' } HKLM { b"}};
    for (const Case& c : kCases)
        EXPECT_EQ(c.expected, Show(ParseRegistrarScript(c.script, repl))) << Utf8(c.script);
}

TEST(RegistrarScript, ErrorsSayWhere)
{
    ParseResult r = ParseRegistrarScript(u"HKCR\n{\n  K = s 'v'\n  L = q 'w'\n}\n", {});
    EXPECT_EQ("line 4: unknown value type", r.error);
    EXPECT_TRUE(r.roots.empty());
}

TEST(RegistrarScript, DeepNestingIsRefusedNotOverflowed)
{
    std::u16string deep = u"HKCR {";
    for (int i = 0; i < 100000; ++i)
        deep += u" K {";
    EXPECT_EQ("error", Show(ParseRegistrarScript(deep, {})));
}
} // namespace
