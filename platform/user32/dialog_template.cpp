#include "dialog_template.h"

#include <cstring>

namespace qm::win
{
namespace
{
class Reader
{
public:
    Reader(const uint8_t* base, size_t size) : m_base(base), m_size(size ? size : SIZE_MAX / 2) {}
    bool ok() const { return m_ok; }
    template <class T> T Get()
    {
        T v{};
        if (m_pos + sizeof(T) > m_size)
        {
            m_ok = false;
            return v;
        }
        memcpy(&v, m_base + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return v;
    }
    std::u16string String()
    {
        std::u16string s;
        for (;;)
        {
            char16_t c = Get<char16_t>();
            if (!m_ok || !c)
                return s;
            s += c;
        }
    }
    // sz_Or_Ord: none, an ordinal (returned as "#n" with `ordinal` set) or a string.
    std::u16string NameOrOrdinal(WORD* ordinal)
    {
        *ordinal = 0;
        char16_t first = Get<char16_t>();
        if (!m_ok || first == 0)
            return {};
        if (first == 0xFFFF)
        {
            *ordinal = Get<WORD>();
            return {};
        }
        std::u16string s(1, first);
        s += String();
        return s;
    }
    void AlignDword() { m_pos = (m_pos + 3) & ~size_t{3}; }
    std::vector<uint8_t> Bytes(size_t n)
    {
        if (m_pos + n > m_size)
        {
            m_ok = false;
            return {};
        }
        std::vector<uint8_t> out(m_base + m_pos, m_base + m_pos + n);
        m_pos += n;
        return out;
    }

private:
    const uint8_t* m_base;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

std::u16string PredefinedClass(WORD ordinal)
{
    switch (ordinal)
    {
    case 0x0080:
        return u"Button";
    case 0x0081:
        return u"Edit";
    case 0x0082:
        return u"Static";
    case 0x0083:
        return u"ListBox";
    case 0x0084:
        return u"ScrollBar";
    case 0x0085:
        return u"ComboBox";
    }
    return u"#" + std::u16string(1, static_cast<char16_t>(ordinal));
}
} // namespace

std::optional<DialogTemplate> ParseDialogTemplate(const void* data, size_t size)
{
    if (!data)
        return std::nullopt;
    Reader r(static_cast<const uint8_t*>(data), size);
    DialogTemplate t;
    WORD count = 0;
    WORD version = r.Get<WORD>();
    WORD signature = r.Get<WORD>();
    if (version == 1 && signature == 0xFFFF)
    {
        t.extended = true;
        r.Get<DWORD>(); // help id
        t.exStyle = r.Get<DWORD>();
        t.style = r.Get<DWORD>();
    }
    else
    {
        Reader again(static_cast<const uint8_t*>(data), size);
        r = again;
        t.style = r.Get<DWORD>();
        t.exStyle = r.Get<DWORD>();
    }
    count = r.Get<WORD>();
    t.x = r.Get<short>();
    t.y = r.Get<short>();
    t.cx = r.Get<short>();
    t.cy = r.Get<short>();
    WORD ordinal;
    r.NameOrOrdinal(&ordinal); // menus are not supported; ignored
    t.className = r.NameOrOrdinal(&ordinal);
    if (ordinal)
        t.className = PredefinedClass(ordinal);
    t.title = r.NameOrOrdinal(&ordinal);
    if (t.style & DS_SETFONT)
    {
        t.hasFont = true;
        t.pointSize = r.Get<WORD>();
        if (t.extended)
        {
            t.weight = r.Get<WORD>();
            t.italic = r.Get<BYTE>();
            t.charset = r.Get<BYTE>();
        }
        t.face = r.String();
    }
    for (WORD i = 0; i < count && r.ok(); ++i)
    {
        r.AlignDword();
        DialogItem item;
        if (t.extended)
        {
            r.Get<DWORD>(); // help id
            item.exStyle = r.Get<DWORD>();
            item.style = r.Get<DWORD>();
        }
        else
        {
            item.style = r.Get<DWORD>();
            item.exStyle = r.Get<DWORD>();
        }
        item.x = r.Get<short>();
        item.y = r.Get<short>();
        item.cx = r.Get<short>();
        item.cy = r.Get<short>();
        item.id = t.extended ? r.Get<DWORD>() : r.Get<WORD>();
        item.className = r.NameOrOrdinal(&ordinal);
        if (ordinal)
            item.className = PredefinedClass(ordinal);
        item.text = r.NameOrOrdinal(&ordinal);
        WORD extra = r.Get<WORD>();
        if (extra)
            item.creationData = r.Bytes(extra);
        if (item.className.empty())
            return std::nullopt;
        t.items.push_back(std::move(item));
    }
    if (!r.ok())
        return std::nullopt;
    return t;
}
} // namespace qm::win
