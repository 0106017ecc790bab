#include "parser.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "dialog_template.h"
#include "expression.h"
#include "string_table.h"
#include "text.h"
#include "version_info.h"

namespace qm::rc
{
namespace
{
constexpr uint16_t kDefaultLanguage = 0x0409;

// Constants that scripts take from the Windows SDK headers.
const std::map<std::string, std::string> kPredefined = {
    {"RC_INVOKED", "1"}, {"_WIN32", "1"}, {"VS_VERSION_INFO", "1"},
    {"LANG_NEUTRAL", "0x00"}, {"LANG_ENGLISH", "0x09"}, {"LANG_CHINESE", "0x04"}, {"LANG_CHINESE_SIMPLIFIED", "0x04"},
    {"LANG_CHINESE_TRADITIONAL", "0x7c04"}, {"LANG_JAPANESE", "0x11"}, {"LANG_KOREAN", "0x12"}, {"LANG_GERMAN", "0x07"},
    {"LANG_FRENCH", "0x0c"}, {"SUBLANG_NEUTRAL", "0x00"}, {"SUBLANG_DEFAULT", "0x01"}, {"SUBLANG_SYS_DEFAULT", "0x02"},
    {"SUBLANG_ENGLISH_US", "0x01"}, {"SUBLANG_ENGLISH_UK", "0x02"}, {"SUBLANG_CHINESE_TRADITIONAL", "0x01"},
    {"SUBLANG_CHINESE_SIMPLIFIED", "0x02"}, {"SUBLANG_CHINESE_HONGKONG", "0x03"}, {"SUBLANG_CHINESE_SINGAPORE", "0x04"},
    {"VS_FFI_SIGNATURE", "0xFEEF04BDL"}, {"VS_FFI_STRUCVERSION", "0x00010000L"}, {"VS_FFI_FILEFLAGSMASK", "0x0000003FL"},
    {"VS_FF_DEBUG", "0x00000001L"}, {"VS_FF_PRERELEASE", "0x00000002L"}, {"VS_FF_PATCHED", "0x00000004L"},
    {"VS_FF_PRIVATEBUILD", "0x00000008L"}, {"VS_FF_INFOINFERRED", "0x00000010L"}, {"VS_FF_SPECIALBUILD", "0x00000020L"},
    {"VOS_UNKNOWN", "0x00000000L"}, {"VOS_DOS", "0x00010000L"}, {"VOS_NT", "0x00040000L"}, {"VOS__WINDOWS32", "0x00000004L"},
    {"VOS_DOS_WINDOWS32", "0x00010004L"}, {"VOS_NT_WINDOWS32", "0x00040004L"}, {"VFT_UNKNOWN", "0x00000000L"},
    {"VFT_APP", "0x00000001L"}, {"VFT_DLL", "0x00000002L"}, {"VFT_DRV", "0x00000003L"}, {"VFT_FONT", "0x00000004L"},
    {"VFT_STATIC_LIB", "0x00000007L"}, {"VFT2_UNKNOWN", "0x00000000L"}};

const std::set<std::string> kMemoryOptions = {"PRELOAD", "LOADONCALL", "FIXED",  "MOVEABLE", "DISCARDABLE",
                                              "PURE",    "IMPURE",     "SHARED", "NONSHARED"};

// Statements whose resources are not compiled yet; they are refused by name.
const std::set<std::string> kNotYetSupported = {"MENU",    "MENUEX", "ACCELERATORS",
                                                "CURSOR",   "BITMAP",  "FONT",   "TOOLBAR",
                                                "DLGINIT", "MESSAGETABLE", "TEXTINCLUDE", "DESIGNINFO"};

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::u16string UpperName(std::u16string s)
{
    for (auto& c : s)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return s;
}

class Parser
{
public:
    Parser(std::vector<Token> tokens, const CompileOptions& options, std::filesystem::path scriptDir,
           SourceLocation end)
        : m_tokens(std::move(tokens)), m_options(options), m_scriptDir(std::move(scriptDir)), m_end(std::move(end))
    {
    }

    CompiledScript Run()
    {
        while (m_pos < m_tokens.size())
            Statement();
        for (auto& block : m_strings.Blocks())
            AddResource(std::move(block));
        CompiledScript out;
        out.resources = std::move(m_resources);
        out.dependencies = std::move(m_dataFiles);
        return out;
    }

private:
    // ---- tokens
    const Token& Peek() const
    {
        if (m_pos >= m_tokens.size())
            throw RcError(LastLocation(), "unexpected end of script");
        return m_tokens[m_pos];
    }
    const Token& Next()
    {
        const Token& t = Peek();
        ++m_pos;
        return t;
    }
    bool More() const { return m_pos < m_tokens.size(); }
    SourceLocation LastLocation() const { return m_tokens.empty() ? m_end : m_tokens.back().where; }
    bool IsKeyword(const Token& t, const char* word) const
    {
        return t.kind == TokenKind::Identifier && Upper(t.text) == word;
    }
    bool IsBegin(const Token& t) const { return t.IsPunct("{") || IsKeyword(t, "BEGIN"); }
    bool IsEnd(const Token& t) const { return t.IsPunct("}") || IsKeyword(t, "END"); }
    void ExpectBegin(const char* what)
    {
        const Token& t = Next();
        if (!IsBegin(t))
            throw RcError(t.where, std::string("BEGIN or { expected after ") + what + ", found '" + t.text + "'");
    }
    bool SkipComma()
    {
        if (More() && m_tokens[m_pos].IsPunct(","))
        {
            ++m_pos;
            return true;
        }
        return false;
    }
    const Token& ExpectString(const char* what)
    {
        const Token& t = Next();
        if (t.kind != TokenKind::String)
            throw RcError(t.where, std::string("quoted ") + what + " expected, found '" + t.text + "'");
        return t;
    }

    NumberValue Number(const char* what)
    {
        if (!StartsExpression(m_tokens, m_pos))
        {
            const Token& t = Peek();
            if (t.kind == TokenKind::Identifier)
                throw RcError(t.where, "unknown identifier '" + t.text + "' where " + what + " is expected");
            throw RcError(t.where, std::string(what) + " expected, found '" + t.text + "'");
        }
        return ParseNumberExpression(m_tokens, m_pos);
    }

    uint16_t Word(const char* what)
    {
        SourceLocation where = Peek().where;
        uint32_t v = Number(what).value;
        if (v > 0xFFFF)
            throw RcError(where, std::string(what) + " " + std::to_string(v) + " is larger than 65535");
        return static_cast<uint16_t>(v);
    }

    // ---- statements
    void Statement()
    {
        const Token& t = Peek();
        if (IsKeyword(t, "LANGUAGE"))
        {
            ++m_pos;
            m_language = Language();
            return;
        }
        if (IsKeyword(t, "STRINGTABLE"))
        {
            ++m_pos;
            StringTable();
            return;
        }
        if (t.IsPunct("{") || IsKeyword(t, "BEGIN") || IsEnd(t))
            throw RcError(t.where, "unexpected '" + t.text + "'");
        SourceLocation where = t.where;
        ResourceName name = Name("resource name");
        const Token& type = Next();
        std::string keyword = type.kind == TokenKind::Identifier ? Upper(type.text) : "";
        if (keyword == "VERSIONINFO")
            VersionInfo(name, where);
        else if (keyword == "DIALOG" || keyword == "DIALOGEX")
            Dialog(std::move(name), where, keyword == "DIALOGEX");
        else if (keyword == "ICON")
            Icon(std::move(name), where);
        else if (kNotYetSupported.count(keyword))
            throw RcError(type.where, keyword + " resources are not supported yet");
        else if (keyword == "RCDATA")
            DataResource(ResourceName::Id(kRtRcdata), name, where);
        else if (keyword == "HTML")
            DataResource(ResourceName::Id(kRtHtml), name, where);
        else if (keyword == "MANIFEST")
            DataResource(ResourceName::Id(kRtManifest), name, where);
        else
        {
            --m_pos;
            DataResource(Name("resource type"), name, where);
        }
    }

    uint16_t Language()
    {
        uint16_t primary = Word("primary language");
        const Token& comma = Next();
        if (!comma.IsPunct(","))
            throw RcError(comma.where, "',' expected between primary language and sublanguage");
        uint16_t sub = Word("sublanguage");
        if (primary > 0x3FF || sub > 0x3F)
            throw RcError(comma.where, "language out of range");
        return static_cast<uint16_t>((sub << 10) | primary);
    }

    ResourceName Name(const char* what)
    {
        const Token& t = Peek();
        if (t.kind == TokenKind::Identifier && Upper(t.text) != "NOT")
        {
            ++m_pos;
            return {false, 0, UpperName(Utf8ToUtf16(t.text, t.where))};
        }
        if (t.kind == TokenKind::String)
        {
            ++m_pos;
            auto text = DecodeText(t);
            if (text.empty())
                throw RcError(t.where, std::string("empty ") + what);
            return {false, 0, UpperName(text)};
        }
        return ResourceName::Id(Word(what));
    }

    // LANGUAGE, CHARACTERISTICS, VERSION and memory flags between a statement and its data.
    uint16_t OptionalStatements(uint16_t language)
    {
        while (More())
        {
            const Token& t = m_tokens[m_pos];
            std::string word = t.kind == TokenKind::Identifier ? Upper(t.text) : "";
            if (word == "LANGUAGE")
            {
                ++m_pos;
                language = Language();
            }
            else if (word == "CHARACTERISTICS" || word == "VERSION")
            {
                ++m_pos;
                Number("number");
            }
            else if (kMemoryOptions.count(word))
                ++m_pos;
            else
                break;
        }
        return language;
    }

    void StringTable()
    {
        uint16_t language = OptionalStatements(m_language);
        ExpectBegin("STRINGTABLE");
        while (!IsEnd(Peek()))
        {
            SourceLocation where = Peek().where;
            uint16_t id = Word("string id");
            SkipComma();
            const Token& text = ExpectString("string");
            m_strings.Add(language, id, DecodeText(text), where);
        }
        ++m_pos;
    }

    std::filesystem::path ResolveFile(const Token& t)
    {
        std::string name;
        for (size_t i = 0; i < t.text.size(); ++i)
        {
            char c = t.text[i];
            if (c == '\\')
            {
                if (i + 1 < t.text.size() && t.text[i + 1] == '\\')
                    ++i;
                name.push_back('/');
            }
            else
                name.push_back(c);
        }
        if (name.empty())
            throw RcError(t.where, "empty file name");
        std::filesystem::path file(name);
        std::vector<std::filesystem::path> search;
        if (file.is_absolute())
            search.push_back(file);
        else
        {
            search.push_back(m_scriptDir / file);
            for (const auto& dir : m_options.includeDirs)
                search.push_back(dir / file);
        }
        for (const auto& candidate : search)
        {
            std::error_code ec;
            if (std::filesystem::is_regular_file(candidate, ec))
                return std::filesystem::absolute(candidate).lexically_normal();
        }
        throw RcError(t.where, "cannot find file '" + name + "'");
    }

    // The file a statement names, read whole and kept as one the output depends on.
    std::filesystem::path ReadDataFile(const Token& t, std::vector<uint8_t>& data)
    {
        auto path = ResolveFile(t);
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw RcError(t.where, "cannot read file '" + path.string() + "'");
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        m_dataFiles.push_back(path);
        return path;
    }

    void DataResource(ResourceName type, ResourceName name, const SourceLocation& where)
    {
        Resource r;
        r.type = std::move(type);
        r.name = std::move(name);
        r.where = where;
        r.language = OptionalStatements(m_language);
        const Token& t = Peek();
        if (t.kind == TokenKind::String)
        {
            ++m_pos;
            ReadDataFile(t, r.data);
        }
        else if (IsBegin(t))
        {
            ++m_pos;
            RawData(r.data);
        }
        else
            throw RcError(t.where, "quoted file name or BEGIN expected, found '" + t.text + "'");
        AddResource(std::move(r));
    }

    // An .ico file becomes one RT_ICON per image (numbered on from the last one of the
    // script) and an RT_GROUP_ICON directory that names them.
    void Icon(ResourceName name, const SourceLocation& where)
    {
        uint16_t language = OptionalStatements(m_language);
        const Token& t = Peek();
        if (t.kind != TokenKind::String)
            throw RcError(t.where, "quoted icon file name expected, found '" + t.text + "'");
        ++m_pos;
        std::vector<uint8_t> file;
        auto path = ReadDataFile(t, file);
        auto word = [&](size_t at) { return uint16_t(file[at] | (file[at + 1] << 8)); };
        auto dword = [&](size_t at) { return uint32_t(word(at) | (uint32_t(word(at + 2)) << 16)); };
        if (file.size() < 6 || word(0) != 0 || word(2) != 1 || word(4) == 0 || file.size() < 6 + 16u * word(4))
            throw RcError(t.where, "'" + path.string() + "' is not an icon file");
        uint16_t count = word(4);
        std::vector<uint8_t> group = {0, 0, 1, 0, uint8_t(count), uint8_t(count >> 8)};
        for (uint16_t i = 0; i < count; ++i)
        {
            size_t e = 6 + 16u * i;
            uint32_t size = dword(e + 8), offset = dword(e + 12);
            if (offset > file.size() || size > file.size() - offset || size == 0)
                throw RcError(t.where, "'" + path.string() + "': image " + std::to_string(i) + " lies outside the file");
            if (m_nextIconId == 0)
                throw RcError(t.where, "too many icon images");
            Resource image;
            image.type = ResourceName::Id(kRtIcon);
            image.name = ResourceName::Id(m_nextIconId);
            image.language = language;
            image.where = where;
            image.data.assign(file.begin() + long(offset), file.begin() + long(offset + size));
            AddResource(std::move(image));
            // The directory entry: the file's first 12 bytes, then the image's id.
            group.insert(group.end(), file.begin() + long(e), file.begin() + long(e + 12));
            group.push_back(uint8_t(m_nextIconId));
            group.push_back(uint8_t(m_nextIconId >> 8));
            ++m_nextIconId;
        }
        Resource r;
        r.type = ResourceName::Id(kRtGroupIcon);
        r.name = std::move(name);
        r.language = language;
        r.where = where;
        r.data = std::move(group);
        AddResource(std::move(r));
    }

    void RawData(std::vector<uint8_t>& out)
    {
        while (!IsEnd(Peek()))
        {
            const Token& t = Peek();
            if (t.kind == TokenKind::String)
            {
                ++m_pos;
                auto bytes = DecodeBytes(t);
                out.insert(out.end(), bytes.begin(), bytes.end());
            }
            else
            {
                SourceLocation at = t.where;
                NumberValue v = Number("data item");
                if (!v.isLong && v.value > 0xFFFF)
                    throw RcError(at, "value " + std::to_string(v.value) + " does not fit in a WORD (use an L suffix)");
                int bytes = v.isLong ? 4 : 2;
                for (int i = 0; i < bytes; ++i)
                    out.push_back(static_cast<uint8_t>(v.value >> (8 * i)));
            }
            SkipComma();
        }
        ++m_pos;
    }

    void VersionInfo(ResourceName name, const SourceLocation& where)
    {
        FixedFileInfo fixed;
        while (!IsBegin(Peek()))
        {
            const Token& t = Next();
            std::string word = t.kind == TokenKind::Identifier ? Upper(t.text) : "";
            if (word == "FILEVERSION" || word == "PRODUCTVERSION")
            {
                uint16_t* parts = word == "FILEVERSION" ? fixed.fileVersion : fixed.productVersion;
                std::fill(parts, parts + 4, 0);
                for (int i = 0;; ++i)
                {
                    if (i == 4)
                        throw RcError(t.where, word + " has more than four parts");
                    parts[i] = Word("version part");
                    if (!SkipComma())
                        break;
                }
            }
            else if (word == "FILEFLAGSMASK")
                fixed.fileFlagsMask = Number("flags").value;
            else if (word == "FILEFLAGS")
                fixed.fileFlags = Number("flags").value;
            else if (word == "FILEOS")
                fixed.fileOS = Number("operating system").value;
            else if (word == "FILETYPE")
                fixed.fileType = Number("file type").value;
            else if (word == "FILESUBTYPE")
                fixed.fileSubtype = Number("file subtype").value;
            else
                throw RcError(t.where, "unknown VERSIONINFO statement '" + t.text + "'");
        }
        ++m_pos;
        auto children = VersionBlockContents(1);
        Resource r;
        r.type = ResourceName::Id(kRtVersion);
        r.name = std::move(name);
        r.language = m_language;
        r.where = where;
        try
        {
            r.data = BuildVersionInfo(fixed, children);
        }
        catch (const std::length_error&)
        {
            throw RcError(where, "version information is larger than 64 KB");
        }
        AddResource(std::move(r));
    }

    // BLOCK and VALUE statements up to the END of the enclosing block.
    std::vector<VersionNode> VersionBlockContents(int depth)
    {
        if (depth > 16)
            throw RcError(Peek().where, "VERSIONINFO blocks nested too deeply");
        std::vector<VersionNode> nodes;
        while (!IsEnd(Peek()))
        {
            const Token& t = Next();
            VersionNode node;
            if (IsKeyword(t, "BLOCK"))
            {
                node.isBlock = true;
                node.key = DecodeText(ExpectString("block name"));
                ExpectBegin("BLOCK");
                node.children = VersionBlockContents(depth + 1);
            }
            else if (IsKeyword(t, "VALUE"))
            {
                node.key = DecodeText(ExpectString("value name"));
                VersionValue(node, t.where);
            }
            else
                throw RcError(t.where, "BLOCK or VALUE expected, found '" + t.text + "'");
            nodes.push_back(std::move(node));
        }
        ++m_pos;
        return nodes;
    }

    void VersionValue(VersionNode& node, const SourceLocation& where)
    {
        bool any = false;
        bool text = false;
        while (SkipComma() || !any)
        {
            const Token& t = Peek();
            if (!any && !(t.kind == TokenKind::String || StartsExpression(m_tokens, m_pos)))
                return; // a VALUE without data
            bool isString = t.kind == TokenKind::String;
            if (any && isString != text)
                throw RcError(t.where, "VALUE mixes text and numbers");
            text = isString;
            if (isString)
            {
                ++m_pos;
                node.isText = true;
                node.text += DecodeText(t);
            }
            else
            {
                NumberValue v = Number("value");
                if (!v.isLong && v.value > 0xFFFF)
                    throw RcError(where, "value " + std::to_string(v.value) + " does not fit in a WORD (use an L suffix)");
                int bytes = v.isLong ? 4 : 2;
                for (int i = 0; i < bytes; ++i)
                    node.binary.push_back(static_cast<uint8_t>(v.value >> (8 * i)));
            }
            any = true;
        }
    }

    // ---- DIALOG and DIALOGEX
    int16_t Coordinate(const char* what)
    {
        SourceLocation at = Peek().where;
        int32_t v = static_cast<int32_t>(Number(what).value);
        if (v < -32768 || v > 32767)
            throw RcError(at, std::string(what) + " " + std::to_string(v) + " does not fit in 16 bits");
        return static_cast<int16_t>(v);
    }

    void ExpectComma(const char* after)
    {
        const Token& t = Next();
        if (!t.IsPunct(","))
            throw RcError(t.where, std::string("',' expected after ") + after + ", found '" + t.text + "'");
    }

    NameOrOrdinal TextOrOrdinal(const char* what)
    {
        NameOrOrdinal n;
        const Token& t = Peek();
        if (t.kind == TokenKind::String)
        {
            ++m_pos;
            n.kind = NameOrOrdinal::Kind::Text;
            n.text = DecodeText(t);
        }
        else
        {
            n.kind = NameOrOrdinal::Kind::Ordinal;
            n.ordinal = Word(what);
        }
        return n;
    }

    NameOrOrdinal ClassName()
    {
        const Token& t = Peek();
        std::u16string name;
        if (t.kind == TokenKind::String)
            name = DecodeText(t);
        else if (t.kind == TokenKind::Identifier && PredefinedControlClass(Utf8ToUtf16(t.text, t.where)))
            name = Utf8ToUtf16(t.text, t.where);
        else
            return TextOrOrdinal("control class");
        ++m_pos;
        NameOrOrdinal n;
        if (uint16_t ordinal = PredefinedControlClass(name))
        {
            n.kind = NameOrOrdinal::Kind::Ordinal;
            n.ordinal = ordinal;
        }
        else
        {
            n.kind = NameOrOrdinal::Kind::Text;
            n.text = name;
        }
        return n;
    }

    bool MoreArguments() { return More() && m_tokens[m_pos].IsPunct(",") && (++m_pos, true); }

    void Dialog(ResourceName name, const SourceLocation& where, bool extended)
    {
        DialogResource d;
        d.extended = extended;
        uint16_t language = OptionalStatements(m_language);
        d.x = Coordinate("x");
        ExpectComma("x");
        d.y = Coordinate("y");
        ExpectComma("y");
        d.cx = Coordinate("width");
        ExpectComma("width");
        d.cy = Coordinate("height");
        if (extended && MoreArguments())
            d.helpId = Number("help id").value;
        bool styled = false;
        uint32_t style = 0;
        while (!IsBegin(Peek()))
        {
            const Token& t = Next();
            std::string word = t.kind == TokenKind::Identifier ? Upper(t.text) : "";
            if (word == "STYLE")
            {
                style = Number("style").value;
                styled = true;
            }
            else if (word == "EXSTYLE")
                d.exStyle = Number("extended style").value;
            else if (word == "CAPTION")
                d.caption = DecodeText(ExpectString("caption"));
            else if (word == "FONT")
            {
                d.hasFont = true;
                d.pointSize = Word("point size");
                ExpectComma("point size");
                d.face = DecodeText(ExpectString("font face"));
                if (extended && MoreArguments())
                {
                    d.weight = Word("font weight");
                    if (MoreArguments())
                    {
                        d.italic = static_cast<uint8_t>(Number("italic flag").value);
                        if (MoreArguments())
                            d.charset = static_cast<uint8_t>(Number("character set").value);
                    }
                }
            }
            else if (word == "LANGUAGE")
                language = Language();
            else if (word == "CLASS")
                d.className = TextOrOrdinal("class");
            else if (word == "MENU")
            {
                ResourceName menu = Name("menu");
                d.menu.kind = menu.numeric ? NameOrOrdinal::Kind::Ordinal : NameOrOrdinal::Kind::Text;
                d.menu.ordinal = menu.id;
                d.menu.text = menu.name;
            }
            else if (word == "CHARACTERISTICS" || word == "VERSION")
                Number("number");
            else
                throw RcError(t.where, "unknown dialog statement '" + t.text + "'");
        }
        ++m_pos;
        // Without STYLE a dialog is a bordered pop-up with a system menu, as rc has it.
        d.style = styled ? style : (0x80000000u | 0x00800000u | 0x00080000u);
        if (!d.caption.empty())
            d.style |= 0x00C00000u; // WS_CAPTION
        if (d.hasFont)
            d.style |= 0x40u; // DS_SETFONT
        while (!IsEnd(Peek()))
            d.controls.push_back(Control(extended));
        ++m_pos;
        Resource r;
        r.type = ResourceName::Id(kRtDialog);
        r.name = std::move(name);
        r.language = language;
        r.where = where;
        try
        {
            r.data = BuildDialogTemplate(d);
        }
        catch (const std::length_error&)
        {
            throw RcError(where, "dialog has too many controls");
        }
        AddResource(std::move(r));
    }

    DialogControl Control(bool extended)
    {
        constexpr uint32_t kChildVisible = 0x40000000u | 0x10000000u;
        constexpr uint32_t kTabStop = 0x00010000u, kGroup = 0x00020000u, kBorder = 0x00800000u;
        struct Kind
        {
            uint16_t cls;
            uint32_t style;
            bool hasText;
        };
        static const std::map<std::string, Kind> kinds = {
            {"PUSHBUTTON", {0x80, 0x0 | kTabStop, true}},      {"DEFPUSHBUTTON", {0x80, 0x1 | kTabStop, true}},
            {"CHECKBOX", {0x80, 0x2 | kTabStop, true}},        {"AUTOCHECKBOX", {0x80, 0x3 | kTabStop, true}},
            {"RADIOBUTTON", {0x80, 0x4, true}},                {"STATE3", {0x80, 0x5 | kTabStop, true}},
            {"AUTO3STATE", {0x80, 0x6 | kTabStop, true}},      {"GROUPBOX", {0x80, 0x7, true}},
            {"AUTORADIOBUTTON", {0x80, 0x9, true}},            {"LTEXT", {0x82, 0x0 | kGroup, true}},
            {"CTEXT", {0x82, 0x1 | kGroup, true}},             {"RTEXT", {0x82, 0x2 | kGroup, true}},
            {"ICON", {0x82, 0x3, true}},                       {"EDITTEXT", {0x81, kBorder | kTabStop, false}},
            {"LISTBOX", {0x83, 0x1 | kBorder, false}},         {"COMBOBOX", {0x85, 0x1 | kTabStop, false}},
            {"SCROLLBAR", {0x84, 0x0, false}},
        };
        const Token& t = Next();
        std::string word = t.kind == TokenKind::Identifier ? Upper(t.text) : "";
        DialogControl c;
        if (word == "CONTROL")
        {
            c.text = TextOrOrdinal("control text");
            ExpectComma("control text");
            c.id = Number("control id").value;
            ExpectComma("control id");
            c.className = ClassName();
            ExpectComma("control class");
            c.style = Number("control style").value | kChildVisible;
            ExpectComma("control style");
            Rect(c);
            if (MoreArguments())
            {
                c.exStyle = Number("extended style").value;
                if (extended && MoreArguments())
                    c.helpId = Number("help id").value;
            }
            return c;
        }
        auto it = kinds.find(word);
        if (it == kinds.end())
            throw RcError(t.where, "unknown control statement '" + t.text + "'");
        c.className.kind = NameOrOrdinal::Kind::Ordinal;
        c.className.ordinal = it->second.cls;
        c.style = it->second.style | kChildVisible;
        if (it->second.hasText)
        {
            c.text = TextOrOrdinal("control text");
            ExpectComma("control text");
        }
        else
            c.text.kind = NameOrOrdinal::Kind::Text;
        c.id = Number("control id").value;
        ExpectComma("control id");
        Rect(c);
        if (MoreArguments())
        {
            c.style |= Number("control style").value;
            if (MoreArguments())
            {
                c.exStyle = Number("extended style").value;
                if (extended && MoreArguments())
                    c.helpId = Number("help id").value;
            }
        }
        return c;
    }

    void Rect(DialogControl& c)
    {
        c.x = Coordinate("x");
        ExpectComma("x");
        c.y = Coordinate("y");
        ExpectComma("y");
        c.cx = Coordinate("width");
        ExpectComma("width");
        c.cy = Coordinate("height");
    }

    void AddResource(Resource r)
    {
        auto key = std::make_tuple(r.type, r.name, r.language);
        auto [it, inserted] = m_defined.try_emplace(key, r.where);
        if (!inserted)
            throw RcError(r.where, "resource " + r.type.Display() + " " + r.name.Display() + " (language " +
                                       std::to_string(r.language) + ") is already defined at " + it->second.file +
                                       ":" + std::to_string(it->second.line));
        m_resources.push_back(std::move(r));
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    const CompileOptions& m_options;
    std::filesystem::path m_scriptDir;
    SourceLocation m_end;
    uint16_t m_language = kDefaultLanguage;
    uint16_t m_nextIconId = 1;
    StringTableBuilder m_strings;
    std::vector<Resource> m_resources;
    std::vector<std::filesystem::path> m_dataFiles;
    std::map<std::tuple<ResourceName, ResourceName, uint16_t>, SourceLocation> m_defined;
};

CompileOptions WithPredefined(const CompileOptions& options)
{
    CompileOptions all = options;
    for (const auto& [name, value] : kPredefined)
        all.defines.try_emplace(name, value);
    for (const auto& [name, value] : DialogConstants())
        all.defines.try_emplace(name, value);
    return all;
}
} // namespace

std::string ResourceName::Display() const
{
    return numeric ? std::to_string(id) : "\"" + Utf16ToUtf8(name) + "\"";
}

CompiledScript CompileFile(const std::filesystem::path& script, const CompileOptions& options)
{
    CompileOptions all = WithPredefined(options);
    Preprocessor pp(all);
    auto tokens = pp.Run(script);
    Parser parser(std::move(tokens), all, std::filesystem::absolute(script).parent_path(), {script.string(), 1});
    auto compiled = parser.Run();
    auto deps = pp.Dependencies();
    deps.insert(deps.end(), compiled.dependencies.begin(), compiled.dependencies.end());
    compiled.dependencies = std::move(deps);
    return compiled;
}

CompiledScript CompileText(std::string_view text, const std::string& fileName, const CompileOptions& options)
{
    CompileOptions all = WithPredefined(options);
    Preprocessor pp(all);
    auto tokens = pp.RunText(text, fileName);
    auto dir = std::filesystem::path(fileName).parent_path();
    Parser parser(std::move(tokens), all, dir.empty() ? std::filesystem::current_path() : dir, {fileName, 1});
    auto compiled = parser.Run();
    auto deps = pp.Dependencies();
    deps.insert(deps.end(), compiled.dependencies.begin(), compiled.dependencies.end());
    compiled.dependencies = std::move(deps);
    return compiled;
}
} // namespace qm::rc
