#include "dialog_template.h"

#include <stdexcept>

namespace qm::rc
{
namespace
{
void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

void PutText(std::vector<uint8_t>& out, const std::u16string& s)
{
    for (char16_t c : s)
        Put16(out, c);
    Put16(out, 0);
}

void PutName(std::vector<uint8_t>& out, const NameOrOrdinal& n)
{
    switch (n.kind)
    {
    case NameOrOrdinal::Kind::None:
        Put16(out, 0);
        break;
    case NameOrOrdinal::Kind::Ordinal:
        Put16(out, 0xFFFF);
        Put16(out, n.ordinal);
        break;
    case NameOrOrdinal::Kind::Text:
        PutText(out, n.text);
        break;
    }
}

void Align4(std::vector<uint8_t>& out)
{
    while (out.size() % 4)
        out.push_back(0);
}

std::u16string Lower(std::u16string s)
{
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}
} // namespace

uint16_t PredefinedControlClass(const std::u16string& name)
{
    static const std::map<std::u16string, uint16_t> classes = {{u"button", 0x80},    {u"edit", 0x81},
                                                               {u"static", 0x82},    {u"listbox", 0x83},
                                                               {u"scrollbar", 0x84}, {u"combobox", 0x85}};
    auto it = classes.find(Lower(name));
    return it == classes.end() ? 0 : it->second;
}

std::vector<uint8_t> BuildDialogTemplate(const DialogResource& d)
{
    if (d.controls.size() > 0xFFFF)
        throw std::length_error("too many controls");
    std::vector<uint8_t> out;
    if (d.extended)
    {
        Put16(out, 1);
        Put16(out, 0xFFFF);
        Put32(out, d.helpId);
        Put32(out, d.exStyle);
        Put32(out, d.style);
    }
    else
    {
        Put32(out, d.style);
        Put32(out, d.exStyle);
    }
    Put16(out, static_cast<uint16_t>(d.controls.size()));
    Put16(out, static_cast<uint16_t>(d.x));
    Put16(out, static_cast<uint16_t>(d.y));
    Put16(out, static_cast<uint16_t>(d.cx));
    Put16(out, static_cast<uint16_t>(d.cy));
    PutName(out, d.menu);
    PutName(out, d.className);
    PutText(out, d.caption);
    if (d.hasFont)
    {
        Put16(out, d.pointSize);
        if (d.extended)
        {
            Put16(out, d.weight);
            out.push_back(d.italic);
            out.push_back(d.charset);
        }
        PutText(out, d.face);
    }
    for (const DialogControl& c : d.controls)
    {
        Align4(out);
        if (d.extended)
        {
            Put32(out, c.helpId);
            Put32(out, c.exStyle);
            Put32(out, c.style);
        }
        else
        {
            Put32(out, c.style);
            Put32(out, c.exStyle);
        }
        Put16(out, static_cast<uint16_t>(c.x));
        Put16(out, static_cast<uint16_t>(c.y));
        Put16(out, static_cast<uint16_t>(c.cx));
        Put16(out, static_cast<uint16_t>(c.cy));
        if (d.extended)
            Put32(out, c.id);
        else
            Put16(out, static_cast<uint16_t>(c.id));
        PutName(out, c.className);
        PutName(out, c.text);
        Put16(out, 0); // no creation data
    }
    return out;
}

const std::map<std::string, std::string>& DialogConstants()
{
    static const std::map<std::string, std::string> constants = {
        {"IDOK", "1"}, {"IDCANCEL", "2"}, {"IDABORT", "3"}, {"IDRETRY", "4"}, {"IDIGNORE", "5"}, {"IDYES", "6"},
        {"IDNO", "7"}, {"IDCLOSE", "8"}, {"IDHELP", "9"}, {"IDC_STATIC", "(-1)"},
        {"WS_OVERLAPPED", "0x00000000L"}, {"WS_POPUP", "0x80000000L"}, {"WS_CHILD", "0x40000000L"},
        {"WS_MINIMIZE", "0x20000000L"}, {"WS_VISIBLE", "0x10000000L"}, {"WS_DISABLED", "0x08000000L"},
        {"WS_CLIPSIBLINGS", "0x04000000L"}, {"WS_CLIPCHILDREN", "0x02000000L"}, {"WS_MAXIMIZE", "0x01000000L"},
        {"WS_CAPTION", "0x00C00000L"}, {"WS_BORDER", "0x00800000L"}, {"WS_DLGFRAME", "0x00400000L"},
        {"WS_VSCROLL", "0x00200000L"}, {"WS_HSCROLL", "0x00100000L"}, {"WS_SYSMENU", "0x00080000L"},
        {"WS_THICKFRAME", "0x00040000L"}, {"WS_GROUP", "0x00020000L"}, {"WS_TABSTOP", "0x00010000L"},
        {"WS_MINIMIZEBOX", "0x00020000L"}, {"WS_MAXIMIZEBOX", "0x00010000L"},
        {"WS_EX_DLGMODALFRAME", "0x00000001L"}, {"WS_EX_NOPARENTNOTIFY", "0x00000004L"},
        {"WS_EX_TOPMOST", "0x00000008L"}, {"WS_EX_TRANSPARENT", "0x00000020L"}, {"WS_EX_TOOLWINDOW", "0x00000080L"},
        {"WS_EX_WINDOWEDGE", "0x00000100L"}, {"WS_EX_CLIENTEDGE", "0x00000200L"},
        {"WS_EX_CONTROLPARENT", "0x00010000L"}, {"WS_EX_STATICEDGE", "0x00020000L"},
        {"DS_ABSALIGN", "0x01L"}, {"DS_SYSMODAL", "0x02L"}, {"DS_3DLOOK", "0x04L"}, {"DS_FIXEDSYS", "0x08L"},
        {"DS_NOFAILCREATE", "0x10L"}, {"DS_LOCALEDIT", "0x20L"}, {"DS_SETFONT", "0x40L"},
        {"DS_MODALFRAME", "0x80L"}, {"DS_NOIDLEMSG", "0x100L"}, {"DS_SETFOREGROUND", "0x200L"},
        {"DS_CONTROL", "0x400L"}, {"DS_CENTER", "0x800L"}, {"DS_CENTERMOUSE", "0x1000L"},
        {"DS_CONTEXTHELP", "0x2000L"}, {"DS_SHELLFONT", "0x48L"},
        {"BS_PUSHBUTTON", "0x00000000L"}, {"BS_DEFPUSHBUTTON", "0x00000001L"}, {"BS_CHECKBOX", "0x00000002L"},
        {"BS_AUTOCHECKBOX", "0x00000003L"}, {"BS_RADIOBUTTON", "0x00000004L"}, {"BS_3STATE", "0x00000005L"},
        {"BS_AUTO3STATE", "0x00000006L"}, {"BS_GROUPBOX", "0x00000007L"}, {"BS_AUTORADIOBUTTON", "0x00000009L"},
        {"BS_OWNERDRAW", "0x0000000BL"},
        {"SS_LEFT", "0x00000000L"}, {"SS_CENTER", "0x00000001L"}, {"SS_RIGHT", "0x00000002L"},
        {"SS_ICON", "0x00000003L"}, {"SS_BLACKRECT", "0x00000004L"}, {"SS_GRAYRECT", "0x00000005L"},
        {"SS_WHITERECT", "0x00000006L"}, {"SS_BLACKFRAME", "0x00000007L"}, {"SS_GRAYFRAME", "0x00000008L"},
        {"SS_WHITEFRAME", "0x00000009L"}, {"SS_LEFTNOWORDWRAP", "0x0000000CL"}, {"SS_ETCHEDHORZ", "0x00000010L"},
        {"SS_NOPREFIX", "0x00000080L"}, {"SS_NOTIFY", "0x00000100L"},
        {"LBS_NOTIFY", "0x0001L"}, {"LBS_SORT", "0x0002L"}, {"LBS_NOREDRAW", "0x0004L"},
        {"LBS_MULTIPLESEL", "0x0008L"}, {"LBS_OWNERDRAWFIXED", "0x0010L"}, {"LBS_OWNERDRAWVARIABLE", "0x0020L"},
        {"LBS_HASSTRINGS", "0x0040L"}, {"LBS_USETABSTOPS", "0x0080L"}, {"LBS_NOINTEGRALHEIGHT", "0x0100L"},
        {"LBS_MULTICOLUMN", "0x0200L"}, {"LBS_WANTKEYBOARDINPUT", "0x0400L"}, {"LBS_EXTENDEDSEL", "0x0800L"},
        {"LBS_DISABLENOSCROLL", "0x1000L"}, {"LBS_NODATA", "0x2000L"}, {"LBS_NOSEL", "0x4000L"},
        {"ES_LEFT", "0x0000L"}, {"ES_CENTER", "0x0001L"}, {"ES_RIGHT", "0x0002L"}, {"ES_MULTILINE", "0x0004L"},
        {"ES_AUTOHSCROLL", "0x0080L"}, {"ES_READONLY", "0x0800L"},
        {"CBS_SIMPLE", "0x0001L"}, {"CBS_DROPDOWN", "0x0002L"}, {"CBS_DROPDOWNLIST", "0x0003L"},
    };
    return constants;
}
} // namespace qm::rc
