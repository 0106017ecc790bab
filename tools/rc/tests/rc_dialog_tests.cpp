// DIALOG and DIALOGEX compile to the RT_DIALOG layout Windows reads.
#include <gtest/gtest.h>

#include "dialog_template.h"
#include "parser.h"

using namespace qm::rc;

namespace
{
// Reads the little-endian template back.
struct Cursor
{
    const std::vector<uint8_t>& d;
    size_t pos = 0;
    uint16_t W()
    {
        uint16_t v = static_cast<uint16_t>(d.at(pos) | (d.at(pos + 1) << 8));
        pos += 2;
        return v;
    }
    uint32_t D()
    {
        uint32_t lo = W();
        return lo | (uint32_t{W()} << 16);
    }
    std::u16string S()
    {
        std::u16string s;
        for (uint16_t c; (c = W()) != 0;)
            s += static_cast<char16_t>(c);
        return s;
    }
    void Align() { pos = (pos + 3) & ~size_t{3}; }
};

const Resource& Only(const CompiledScript& s)
{
    EXPECT_EQ(s.resources.size(), 1u);
    return s.resources.at(0);
}
} // namespace

TEST(RcDialog, ExtendedTemplateWithFontAndControls)
{
    auto s = CompileText(R"(
LANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED
101 DIALOGEX 0, 0, 282, 329
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Windows 安全"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    DEFPUSHBUTTON "确定", IDOK, 170, 308, 50, 14
    CONTROL "", 1001, "ListBox", LBS_OWNERDRAWVARIABLE | LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP, 13, 37, 255, 264
    CONTROL "", IDC_STATIC, "Static", SS_BLACKFRAME, 7, 27, 268, 1, WS_EX_STATICEDGE
    CONTROL "x", 7, "MyClass", 0, 1, 2, 3, 4
END
)",
                         "test.rc", {});
    const Resource& r = Only(s);
    EXPECT_EQ(r.type, ResourceName::Id(kRtDialog));
    EXPECT_EQ(r.name, ResourceName::Id(101));
    EXPECT_EQ(r.language, 0x0804);
    Cursor c{r.data};
    EXPECT_EQ(c.W(), 1);      // version
    EXPECT_EQ(c.W(), 0xFFFF); // signature
    EXPECT_EQ(c.D(), 0u);     // help id
    EXPECT_EQ(c.D(), 0u);     // extended style
    EXPECT_EQ(c.D(), 0x40u | 0x80u | 0x800u | 0x80000000u | 0x00C00000u | 0x00080000u);
    EXPECT_EQ(c.W(), 4);   // controls
    EXPECT_EQ(c.W(), 0);   // x
    EXPECT_EQ(c.W(), 0);   // y
    EXPECT_EQ(c.W(), 282); // cx
    EXPECT_EQ(c.W(), 329); // cy
    EXPECT_EQ(c.W(), 0);   // menu
    EXPECT_EQ(c.W(), 0);   // class
    EXPECT_EQ(c.S(), u"Windows \u5b89\u5168");
    EXPECT_EQ(c.W(), 8);   // points
    EXPECT_EQ(c.W(), 400); // weight
    EXPECT_EQ(c.W(), 0x0100); // italic 0, charset 1
    EXPECT_EQ(c.S(), u"MS Shell Dlg");

    struct Expected
    {
        uint32_t style, exStyle;
        uint16_t x, y, cx, cy;
        uint32_t id;
        uint16_t classOrdinal; // 0: a class name
        std::u16string className, text;
    } controls[] = {
        {0x50010001u, 0, 170, 308, 50, 14, 1, 0x80, u"", u"\u786e\u5b9a"},
        {0x50010000u | 0x20 | 0x1 | 0x00200000u, 0, 13, 37, 255, 264, 1001, 0x83, u"", u""},
        {0x50000007u, 0x00020000u, 7, 27, 268, 1, 0xFFFFFFFFu, 0x82, u"", u""},
        {0x50000000u, 0, 1, 2, 3, 4, 7, 0, u"MyClass", u"x"},
    };
    for (const auto& e : controls)
    {
        c.Align();
        EXPECT_EQ(c.D(), 0u); // help id
        EXPECT_EQ(c.D(), e.exStyle);
        EXPECT_EQ(c.D(), e.style);
        EXPECT_EQ(c.W(), e.x);
        EXPECT_EQ(c.W(), e.y);
        EXPECT_EQ(c.W(), e.cx);
        EXPECT_EQ(c.W(), e.cy);
        EXPECT_EQ(c.D(), e.id);
        if (e.classOrdinal)
        {
            EXPECT_EQ(c.W(), 0xFFFF);
            EXPECT_EQ(c.W(), e.classOrdinal);
        }
        else
            EXPECT_EQ(c.S(), e.className);
        EXPECT_EQ(c.S(), e.text);
        EXPECT_EQ(c.W(), 0); // creation data
    }
    EXPECT_EQ(c.pos, r.data.size());
}

TEST(RcDialog, ClassicTemplateAndDefaultStyle)
{
    auto s = CompileText("5 DIALOG 1, 2, 30, 40\nCAPTION \"T\"\nBEGIN\nLTEXT \"a\", 3, 4, 5, 6, 7\nEND\n", "test.rc",
                         {});
    const Resource& r = Only(s);
    Cursor c{r.data};
    // No STYLE: a bordered pop-up with a system menu; CAPTION adds the caption.
    EXPECT_EQ(c.D(), 0x80000000u | 0x00800000u | 0x00080000u | 0x00C00000u);
    EXPECT_EQ(c.D(), 0u);
    EXPECT_EQ(c.W(), 1);
    EXPECT_EQ(c.W(), 1);
    EXPECT_EQ(c.W(), 2);
    EXPECT_EQ(c.W(), 30);
    EXPECT_EQ(c.W(), 40);
    EXPECT_EQ(c.W(), 0);
    EXPECT_EQ(c.W(), 0);
    EXPECT_EQ(c.S(), u"T");
    c.Align();
    EXPECT_EQ(c.D(), 0x50020000u); // SS_LEFT | WS_GROUP | WS_CHILD | WS_VISIBLE
    EXPECT_EQ(c.D(), 0u);
    c.pos += 8;
    EXPECT_EQ(c.W(), 3); // a 16-bit id in the classic layout
    EXPECT_EQ(c.W(), 0xFFFF);
    EXPECT_EQ(c.W(), 0x82);
    EXPECT_EQ(c.S(), u"a");
    EXPECT_EQ(c.W(), 0);
    EXPECT_EQ(c.pos, r.data.size());
}

TEST(RcDialog, KeywordStylesAddToTheDefaults)
{
    auto s = CompileText("5 DIALOGEX 0, 0, 9, 9\nBEGIN\nPUSHBUTTON \"C\", IDCANCEL, 0, 0, 1, 1, WS_DISABLED, "
                         "WS_EX_CLIENTEDGE\nEND\n",
                         "test.rc", {});
    const Resource& r = Only(s);
    Cursor c{r.data};
    c.pos = 26 + 2 + 2 + 2; // header, no menu, no class, empty caption
    c.Align();
    EXPECT_EQ(c.D(), 0u);
    EXPECT_EQ(c.D(), 0x00000200u);
    EXPECT_EQ(c.D(), 0x50010000u | 0x08000000u); // BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED
}
