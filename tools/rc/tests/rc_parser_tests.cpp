// The resource compiler: what scripts compile to, and clear errors for bad ones.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "blob_writer.h"
#include "parser.h"

using namespace qm::rc;

namespace
{
CompiledScript Compile(const std::string& text)
{
    return CompileText(text, "test.rc", {});
}

const Resource* FindRes(const CompiledScript& s, uint16_t type, uint16_t name, uint16_t lang)
{
    for (const auto& r : s.resources)
        if (r.type == ResourceName::Id(type) && r.name == ResourceName::Id(name) && r.language == lang)
            return &r;
    return nullptr;
}

std::u16string SlotText(const Resource& block, int index)
{
    size_t pos = 0;
    for (int i = 0;; ++i)
    {
        uint16_t len = static_cast<uint16_t>(block.data.at(pos) | (block.data.at(pos + 1) << 8));
        pos += 2;
        if (i == index)
        {
            std::u16string s;
            for (uint16_t k = 0; k < len; ++k)
                s.push_back(static_cast<char16_t>(block.data.at(pos + 2 * k) | (block.data.at(pos + 2 * k + 1) << 8)));
            return s;
        }
        pos += 2 * size_t{len};
    }
}
} // namespace

TEST(RcStringTable, BlocksPerLanguageWithDecodedText)
{
    auto s = Compile("LANGUAGE 9, 1\n"
                     "STRINGTABLE { 1, \"one\" 17 \"a\"\"b\\x41\\n\\t\\\\\" }\n"
                     "STRINGTABLE LANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED BEGIN 1 \"一\" END\n");
    ASSERT_EQ(s.resources.size(), 3u);
    const Resource* en1 = FindRes(s, kRtString, 1, 1033);
    const Resource* en2 = FindRes(s, kRtString, 2, 1033);
    const Resource* zh1 = FindRes(s, kRtString, 1, 2052);
    ASSERT_TRUE(en1 && en2 && zh1);
    EXPECT_EQ(SlotText(*en1, 1), u"one");
    EXPECT_EQ(SlotText(*en1, 0), u"");
    EXPECT_EQ(SlotText(*en2, 1), u"a\"bA\n\t\\");
    EXPECT_EQ(SlotText(*zh1, 1), u"一");
    EXPECT_EQ(en1->data.size(), 2u * 16 + 6);
}

TEST(RcVersionInfo, LayoutOfNodesAndValues)
{
    auto s = Compile("1 VERSIONINFO FILEVERSION 1,2,3 PRODUCTVERSION 4,5,6,7 FILETYPE VFT_DLL\n"
                     "BEGIN BLOCK \"StringFileInfo\" BEGIN BLOCK \"040904b0\" BEGIN VALUE \"A\", \"xy\" END END\n"
                     "BLOCK \"VarFileInfo\" BEGIN VALUE \"Translation\", 0x409, 1200 END END\n");
    const Resource* r = FindRes(s, kRtVersion, 1, 1033);
    ASSERT_TRUE(r);
    const auto& d = r->data;
    auto word = [&](size_t at) { return static_cast<uint32_t>(d.at(at) | (d.at(at + 1) << 8)); };
    auto dword = [&](size_t at) { return word(at) | (word(at + 2) << 16); };
    EXPECT_EQ(word(0), d.size());
    EXPECT_EQ(word(2), 52u);
    EXPECT_EQ(dword(40), 0xFEEF04BDu);
    EXPECT_EQ(dword(48), 0x00010002u);
    EXPECT_EQ(dword(52), 0x00030000u);
    EXPECT_EQ(dword(56), 0x00040005u);
    EXPECT_EQ(dword(76), 2u); // FILETYPE
    // StringFileInfo starts right after the fixed info, at 92: wType 1, no value.
    EXPECT_EQ(word(92 + 2), 0u);
    EXPECT_EQ(word(92 + 4), 1u);
    // The Translation value is binary: 4 bytes, wType 0, at the very end.
    EXPECT_EQ(word(d.size() - 4), 0x409u);
    EXPECT_EQ(word(d.size() - 2), 1200u);
}

TEST(RcData, InlineItemsAndNamedTypes)
{
    auto s = Compile("7 RCDATA BEGIN \"ab\\0\", 1, 2L, L\"z\" END\nlogo png BEGIN 0xFFFF END\n");
    const Resource* r = FindRes(s, kRtRcdata, 7, 1033);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->data, (std::vector<uint8_t>{'a', 'b', 0, 1, 0, 2, 0, 0, 0, 'z', 0}));
    ASSERT_EQ(s.resources.size(), 2u);
    EXPECT_EQ(s.resources[1].type.name, u"PNG");
    EXPECT_EQ(s.resources[1].name.name, u"LOGO");
}

TEST(RcPreprocessor, IncludesHeadersAndFiles)
{
    auto dir = std::filesystem::temp_directory_path() / ("qmrc-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "data");
    std::ofstream(dir / "ids.h") << "#pragma once\n#define IDR_X 208 /* chain */\n#define IDS_A (IDR_X + 1)\n"
                                    "int ignored_c_code(void);\n";
    std::ofstream(dir / "data" / "x.xml") << "<x/>";
    std::ofstream(dir / "s.rc") << "#include \"ids.h\"\n#ifdef IDR_X\nIDR_X CERTIFICATE \"data\\\\x.xml\"\n#else\n"
                                   "#error not here\n#endif\nSTRINGTABLE { IDS_A \"a\" }\n";
    auto s = CompileFile(dir / "s.rc", {});
    ASSERT_EQ(s.resources.size(), 2u);
    auto cert = std::find_if(s.resources.begin(), s.resources.end(), [](const Resource& r) { return !r.type.numeric; });
    ASSERT_NE(cert, s.resources.end());
    EXPECT_EQ(cert->name, ResourceName::Id(208));
    EXPECT_EQ(cert->data, (std::vector<uint8_t>{'<', 'x', '/', '>'}));
    EXPECT_NE(FindRes(s, kRtString, 209 / 16 + 1, 1033), nullptr);
    EXPECT_EQ(s.dependencies.size(), 3u); // script, header, data file
    std::filesystem::remove_all(dir);
}

TEST(RcErrors, BadScriptsGiveFileAndLine)
{
    struct Case
    {
        const char* script;
        const char* message; // expected in the error text
    } cases[] = {
        {"STRINGTABLE\nBEGIN\n1 \"unterminated\nEND\n", "test.rc:3: error: unterminated string literal"},
        {"STRINGTABLE\nBEGIN\n1 \"a\"\n", "test.rc:3: error: unexpected end of script"},
        {"STRINGTABLE { 1 \"a\" }\nSTRINGTABLE {\n 1 \"b\" }\n", "test.rc:3: error: string id 1 is already defined at test.rc:1"},
        {"STRINGTABLE { 70000 \"a\" }\n", "test.rc:1: error: string id 70000 is larger than 65535"},
        {"STRINGTABLE { IDS_NOPE \"a\" }\n", "unknown identifier 'IDS_NOPE'"},
        {"STRINGTABLE { 1 \"bad \\q escape\" }\n", "test.rc:1: error: unknown escape sequence '\\q'"},
        {"STRINGTABLE { 1 \"\xC3\x28\" }\n", "test.rc:1: error: text is not valid UTF-8"},
        {"\n1 CERTIFICATE \"no/such/file.xml\"\n", "test.rc:2: error: cannot find file 'no/such/file.xml'"},
        {"1 RCDATA { 1 }\n1 RCDATA { 2 }\n", "test.rc:2: error: resource 10 1 (language 1033) is already defined at test.rc:1"},
        {"1 RCDATA { 70000 }\n", "does not fit in a WORD"},
        {"100 MENU\nBEGIN\nEND\n", "test.rc:1: error: MENU resources are not supported yet"},
        {"100 DIALOGEX 0, 0, 10\nBEGIN\nEND\n", "test.rc:2: error: ',' expected after width"},
        {"100 DIALOGEX 0, 0, 10, 10\nSTYLE\nBEGIN\nEND\n", "where style is expected"},
        {"100 DIALOGEX 0, 0, 10, 10\nFONT 8\nBEGIN\nEND\n", "',' expected after point size"},
        {"100 DIALOGEX 0, 0, 10, 10\nBEGIN\nSLIDER 1, 0, 0, 1, 1\nEND\n", "test.rc:3: error: unknown control statement 'SLIDER'"},
        {"100 DIALOGEX 0, 0, 40000, 10\nBEGIN\nEND\n", "width 40000 does not fit in 16 bits"},
        {"100 DIALOGEX 0, 0, 10, 10\nBEGIN\nPUSHBUTTON \"OK\", 1, 0, 0, 1\nEND\n", "test.rc:4: error: ',' expected after width"},
        {"1 VERSIONINFO FILEVERSION 1,2,3,4,5\nBEGIN\nEND\n", "FILEVERSION has more than four parts"},
        {"1 VERSIONINFO\nBEGIN\nVALUE \"A\", \"x\", 1\nEND\n", "test.rc:3: error: VALUE mixes text and numbers"},
        {"1 VERSIONINFO\nBEGIN\nBLOCK \"A\"\nBEGIN\nFOO\nEND\nEND\n", "test.rc:5: error: BLOCK or VALUE expected"},
        {"#if 1\n1 RCDATA { 1 }\n", "test.rc:1: error: #if without #endif"},
        {"#endif\n", "test.rc:1: error: #endif without #if"},
        {"#include \"missing.h\"\n", "test.rc:1: error: cannot open include file 'missing.h'"},
        {"#pragma code_page(936)\n", "only UTF-8 scripts"},
        {"/* never closed\n", "test.rc:1: error: unterminated comment"},
        {"#define A A\nSTRINGTABLE { A \"x\" }\n", "expands without end"},
        {"LANGUAGE 9 1\n", "',' expected"},
        {"1 RCDATA { (((1 }\n", "')' expected"},
        {"1 RCDATA { 1 / 0 }\n", "division by zero"},
        {"}\n", "test.rc:1: error: unexpected '}'"},
        {"1 RCDATA { 99999999999 }\n", "does not fit in 32 bits"},
        {"1 RCDATA @\n", "unexpected character '@'"},
    };
    for (const auto& c : cases)
    {
        try
        {
            Compile(c.script);
            ADD_FAILURE() << "no error for: " << c.script;
        }
        catch (const RcError& e)
        {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << "script: " << c.script << "\nerror: " << e.what();
        }
    }
}

TEST(RcBlob, DirectoryHeaderEntriesAndAlignment)
{
    auto s = Compile("2 RCDATA { \"abc\" }\nname TYPE { \"q\" }\n");
    auto blob = BuildBlob(s.resources);
    ASSERT_GE(blob.size(), 16u + 2 * 32);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob.data()), 7), "QMRSRC1");
    EXPECT_EQ(blob.size() % 16, 0u);
    auto dword = [&](size_t at) { return blob[at] | (blob[at + 1] << 8) | (blob[at + 2] << 16) | (blob[at + 3] << 24); };
    EXPECT_EQ(static_cast<size_t>(dword(8)), blob.size());
    EXPECT_EQ(dword(12), 2);
    for (int i = 0; i < 2; ++i)
    {
        size_t e = 16 + 32 * i;
        EXPECT_EQ(dword(e + 20) % 8, 0) << "data offset aligned";
        EXPECT_LE(static_cast<size_t>(dword(e + 20) + dword(e + 24)), blob.size());
    }
    auto source = GenerateSource(blob, "x.rc");
    EXPECT_NE(source.find("section(\"qm_rsrc\")"), std::string::npos);
    EXPECT_NE(source.find("qm::RegisterModuleResources"), std::string::npos);
}

TEST(RcIcon, ImagesAndTheirGroupDirectory)
{
    auto dir = std::filesystem::temp_directory_path() / ("qmrc-icon-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // Two images: 16x16 (3 bytes "abc") and 32x32 (2 bytes "de"), 32 bits each.
    std::vector<uint8_t> ico = {0, 0, 1, 0, 2, 0};
    auto entry = [&](uint8_t size, uint32_t bytes, uint32_t offset) {
        std::vector<uint8_t> e = {size, size, 0, 0, 1, 0, 32, 0};
        for (uint32_t v : {bytes, offset})
            for (int i = 0; i < 4; ++i)
                e.push_back(uint8_t(v >> (8 * i)));
        ico.insert(ico.end(), e.begin(), e.end());
    };
    entry(16, 3, 38);
    entry(32, 2, 41);
    for (char c : std::string("abcde"))
        ico.push_back(uint8_t(c));
    std::ofstream(dir / "a.ico", std::ios::binary).write(reinterpret_cast<const char*>(ico.data()), long(ico.size()));
    std::ofstream(dir / "s.rc") << "128 ICON \"a.ico\"\nSECOND ICON DISCARDABLE \"a.ico\"\n";
    auto s = CompileFile(dir / "s.rc", {});
    ASSERT_EQ(s.resources.size(), 6u);
    const Resource* img3 = FindRes(s, kRtIcon, 3, 1033);
    ASSERT_NE(img3, nullptr) << "the second icon's images are numbered on";
    EXPECT_EQ(img3->data, (std::vector<uint8_t>{'a', 'b', 'c'}));
    const Resource* group = FindRes(s, kRtGroupIcon, 128, 1033);
    ASSERT_NE(group, nullptr);
    std::vector<uint8_t> expected = {0, 0, 1, 0, 2, 0,
                                     16, 16, 0, 0, 1, 0, 32, 0, 3, 0, 0, 0, 1, 0,
                                     32, 32, 0, 0, 1, 0, 32, 0, 2, 0, 0, 0, 2, 0};
    EXPECT_EQ(group->data, expected);

    // A file that is not an icon, or whose image lies past its end, is refused.
    std::ofstream(dir / "bad.ico", std::ios::binary) << "PNG";
    std::ofstream(dir / "b.rc") << "1 ICON \"bad.ico\"\n";
    EXPECT_THROW(CompileFile(dir / "b.rc", {}), RcError);
    ico[14] = 200; // the first image's size
    std::ofstream(dir / "cut.ico", std::ios::binary).write(reinterpret_cast<const char*>(ico.data()), long(ico.size()));
    std::ofstream(dir / "c.rc") << "1 ICON \"cut.ico\"\n";
    EXPECT_THROW(CompileFile(dir / "c.rc", {}), RcError);
    std::filesystem::remove_all(dir);
}
