// ConvertStringSecurityDescriptorToSecurityDescriptor: the SDDL string form of a descriptor
// into a self-relative descriptor in one LocalAlloc block.
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sddl.h"
#include "winbase.h"

namespace
{
using Bytes = std::vector<BYTE>;

// Why a string was refused: the Windows error it becomes.
struct Refused
{
    DWORD error;
};

struct SidAlias
{
    const char* alias;
    const char* sid;
};

// The well-known accounts and the integrity levels, which need no domain.
const SidAlias kAliases[] = {
    {"WD", "S-1-1-0"},      {"CO", "S-1-3-0"},      {"CG", "S-1-3-1"},      {"AN", "S-1-5-7"},
    {"IU", "S-1-5-4"},      {"SU", "S-1-5-6"},      {"NU", "S-1-5-2"},      {"AU", "S-1-5-11"},
    {"PS", "S-1-5-10"},     {"RC", "S-1-5-12"},     {"SY", "S-1-5-18"},     {"LS", "S-1-5-19"},
    {"NS", "S-1-5-20"},     {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"BG", "S-1-5-32-546"},
    {"PU", "S-1-5-32-547"}, {"BO", "S-1-5-32-551"}, {"RD", "S-1-5-32-555"}, {"LW", "S-1-16-4096"},
    {"ME", "S-1-16-8192"},  {"MP", "S-1-16-8448"},  {"HI", "S-1-16-12288"}, {"SI", "S-1-16-16384"},
};

// Aliases of accounts of a domain (or of the machine's own identifier): no account here has them.
const char* const kDomainAliases[] = {"DA", "DG", "DU", "DC", "DD", "CA", "EA", "SA", "PA", "RS", "RO", "LA", "LG"};

struct Right
{
    const char* token;
    DWORD mask;
};

const Right kRights[] = {
    {"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000},
    {"RC", 0x00020000}, {"SD", 0x00010000}, {"WD", 0x00040000}, {"WO", 0x00080000},
    {"NR", SYSTEM_MANDATORY_LABEL_NO_READ_UP}, {"NW", SYSTEM_MANDATORY_LABEL_NO_WRITE_UP},
    {"NX", SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP},
};

const Right kAceFlags[] = {
    {"OI", OBJECT_INHERIT_ACE},  {"CI", CONTAINER_INHERIT_ACE}, {"NP", NO_PROPAGATE_INHERIT_ACE},
    {"IO", INHERIT_ONLY_ACE},    {"ID", INHERITED_ACE},         {"SA", SUCCESSFUL_ACCESS_ACE_FLAG},
    {"FA", FAILED_ACCESS_ACE_FLAG},
};

[[noreturn]] void Refuse(DWORD error = ERROR_INVALID_PARAMETER)
{
    throw Refused{error};
}

bool ParseNumber(std::string_view text, unsigned long long limit, unsigned long long& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    value = 0;
    for (char c : text)
    {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            return false;
        value = value * base + digit;
        if (value > limit)
            return false;
    }
    return true;
}

// The pieces of text between the separators (empty ones too).
std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == separator)
        {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    return pieces;
}

// Two-letter tokens one after another, each one of the table's.
template <size_t N> DWORD TokensMask(std::string_view text, const Right (&table)[N])
{
    DWORD mask = 0;
    for (size_t i = 0; i < text.size(); i += 2)
    {
        std::string_view token = text.substr(i, 2);
        bool known = false;
        for (const auto& r : table)
            if (token == r.token)
            {
                mask |= r.mask;
                known = true;
            }
        if (!known)
            Refuse();
    }
    return mask;
}

// "S-1-authority-sub-..." in binary form.
Bytes SidFromNumeric(std::string_view text)
{
    std::vector<std::string_view> parts = Split(text, '-');
    unsigned long long revision = 0, authority = 0;
    if (parts.size() < 3 || (parts[0] != "S" && parts[0] != "s") || !ParseNumber(parts[1], 255, revision) ||
        revision != SID_REVISION || !ParseNumber(parts[2], 0xFFFFFFFFFFFFull, authority) ||
        parts.size() - 3 > SID_MAX_SUB_AUTHORITIES)
        Refuse();
    Bytes sid(8 + 4 * (parts.size() - 3));
    sid[0] = BYTE(revision);
    sid[1] = BYTE(parts.size() - 3);
    for (int i = 0; i < 6; ++i)
        sid[2 + i] = BYTE(authority >> (8 * (5 - i))); // the authority is big-endian
    for (size_t i = 3; i < parts.size(); ++i)
    {
        unsigned long long sub = 0;
        if (!ParseNumber(parts[i], 0xFFFFFFFFull, sub))
            Refuse();
        DWORD value = DWORD(sub);
        std::memcpy(&sid[8 + 4 * (i - 3)], &value, 4);
    }
    return sid;
}

Bytes SidFromString(std::string_view text)
{
    if (text.size() > 2 && (text[0] == 'S' || text[0] == 's') && text[1] == '-')
        return SidFromNumeric(text);
    if (text.size() == 2)
    {
        for (const auto& a : kAliases)
            if (text == a.alias)
                return SidFromNumeric(a.sid);
        for (const char* d : kDomainAliases)
            if (text == d)
                Refuse(ERROR_NONE_MAPPED);
    }
    Refuse();
}

// Rights: a number, or two-letter tokens one after another.
DWORD RightsFromString(std::string_view text)
{
    if (text.empty())
        return 0;
    unsigned long long number = 0;
    if (std::isdigit(static_cast<unsigned char>(text[0])))
    {
        if (!ParseNumber(text, 0xFFFFFFFFull, number))
            Refuse();
        return DWORD(number);
    }
    return TokensMask(text, kRights);
}

BYTE AceFlagsFromString(std::string_view text)
{
    return BYTE(TokensMask(text, kAceFlags));
}

// "type;flags;rights;object guid;inherit guid;sid" (the text inside the parentheses).
Bytes AceFromString(std::string_view text, bool inSacl)
{
    std::vector<std::string_view> fields = Split(text, ';');
    if (fields.size() != 6)
        Refuse();
    BYTE type;
    if (fields[0] == "A" && !inSacl)
        type = ACCESS_ALLOWED_ACE_TYPE;
    else if (fields[0] == "D" && !inSacl)
        type = ACCESS_DENIED_ACE_TYPE;
    else if (fields[0] == "AU" && inSacl)
        type = SYSTEM_AUDIT_ACE_TYPE;
    else if (fields[0] == "ML" && inSacl)
        type = SYSTEM_MANDATORY_LABEL_ACE_TYPE;
    else
        Refuse();
    // Object entries (with GUIDs) are not part of this model.
    if (!fields[3].empty() || !fields[4].empty())
        Refuse();
    BYTE flags = AceFlagsFromString(fields[1]);
    DWORD mask = RightsFromString(fields[2]);
    Bytes sid = SidFromString(fields[5]);
    Bytes ace(sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + sid.size());
    ACE_HEADER header = {type, flags, WORD(ace.size())};
    std::memcpy(ace.data(), &header, sizeof header);
    std::memcpy(ace.data() + sizeof header, &mask, sizeof mask);
    std::memcpy(ace.data() + sizeof header + sizeof mask, sid.data(), sid.size());
    return ace;
}

struct ParsedAcl
{
    WORD control = 0; // the descriptor's protected / auto-inherited bits for this list
    bool nullAcl = false;
    Bytes acl;
};

// "flags(ace)(ace)..." up to the end of the component.
ParsedAcl AclFromString(std::string_view text, bool inSacl)
{
    ParsedAcl result;
    const WORD protectedBit = inSacl ? SE_SACL_PROTECTED : SE_DACL_PROTECTED;
    const WORD inheritedBit = inSacl ? SE_SACL_AUTO_INHERITED : SE_DACL_AUTO_INHERITED;
    const WORD requestBit = inSacl ? SE_SACL_AUTO_INHERIT_REQ : SE_DACL_AUTO_INHERIT_REQ;
    size_t at = 0;
    while (at < text.size() && text[at] != '(')
    {
        std::string_view rest = text.substr(at);
        if (rest.substr(0, 17) == "NO_ACCESS_CONTROL")
        {
            result.nullAcl = true;
            at += 17;
        }
        else if (rest.substr(0, 2) == "AI")
        {
            result.control |= inheritedBit;
            at += 2;
        }
        else if (rest.substr(0, 2) == "AR")
        {
            result.control |= requestBit;
            at += 2;
        }
        else if (rest[0] == 'P')
        {
            result.control |= protectedBit;
            at += 1;
        }
        else
            Refuse();
    }
    Bytes entries;
    WORD count = 0;
    while (at < text.size())
    {
        if (text[at] != '(')
            Refuse();
        size_t close = text.find(')', at);
        if (close == std::string_view::npos)
            Refuse();
        Bytes ace = AceFromString(text.substr(at + 1, close - at - 1), inSacl);
        entries.insert(entries.end(), ace.begin(), ace.end());
        ++count;
        at = close + 1;
    }
    if (result.nullAcl)
    {
        if (count)
            Refuse();
        return result;
    }
    if (sizeof(ACL) + entries.size() > 0xFFFF)
        Refuse();
    ACL header = {ACL_REVISION, 0, WORD(sizeof(ACL) + entries.size()), count, 0};
    result.acl.resize(sizeof header);
    std::memcpy(result.acl.data(), &header, sizeof header);
    result.acl.insert(result.acl.end(), entries.begin(), entries.end());
    return result;
}

struct Parsed
{
    std::optional<Bytes> owner, group;
    std::optional<ParsedAcl> dacl, sacl;
};

bool IsComponentStart(std::string_view text, size_t at)
{
    return at + 1 < text.size() && text[at + 1] == ':' &&
           (text[at] == 'O' || text[at] == 'G' || text[at] == 'D' || text[at] == 'S');
}

Parsed ParseDescriptor(std::string_view text)
{
    Parsed parsed;
    size_t at = 0;
    while (at < text.size())
    {
        if (!IsComponentStart(text, at))
            Refuse();
        char kind = text[at];
        size_t begin = at + 2;
        size_t end = begin;
        int depth = 0;
        // A component ends where the next one starts, outside any parentheses. A numeric SID
        // begins "S-", never "S:", so it is not taken for the SACL.
        while (end < text.size() && !(depth == 0 && IsComponentStart(text, end)))
        {
            if (text[end] == '(')
                ++depth;
            else if (text[end] == ')')
                --depth;
            ++end;
        }
        std::string_view body = text.substr(begin, end - begin);
        switch (kind)
        {
        case 'O':
            if (parsed.owner)
                Refuse();
            parsed.owner = SidFromString(body);
            break;
        case 'G':
            if (parsed.group)
                Refuse();
            parsed.group = SidFromString(body);
            break;
        case 'D':
            if (parsed.dacl)
                Refuse();
            parsed.dacl = AclFromString(body, false);
            break;
        default:
            if (parsed.sacl)
                Refuse();
            parsed.sacl = AclFromString(body, true);
            break;
        }
        at = end;
    }
    return parsed;
}

void Append(Bytes& block, const Bytes& part, DWORD& offset)
{
    while (block.size() % 4)
        block.push_back(0);
    offset = DWORD(block.size());
    block.insert(block.end(), part.begin(), part.end());
}

Bytes Layout(const Parsed& parsed)
{
    SECURITY_DESCRIPTOR_RELATIVE header = {};
    header.Revision = SECURITY_DESCRIPTOR_REVISION;
    header.Control = SE_SELF_RELATIVE;
    Bytes block(sizeof header);
    if (parsed.sacl)
    {
        header.Control |= SE_SACL_PRESENT | parsed.sacl->control;
        if (!parsed.sacl->nullAcl)
            Append(block, parsed.sacl->acl, header.Sacl);
    }
    if (parsed.dacl)
    {
        header.Control |= SE_DACL_PRESENT | parsed.dacl->control;
        if (!parsed.dacl->nullAcl)
            Append(block, parsed.dacl->acl, header.Dacl);
    }
    if (parsed.owner)
        Append(block, *parsed.owner, header.Owner);
    if (parsed.group)
        Append(block, *parsed.group, header.Group);
    std::memcpy(block.data(), &header, sizeof header);
    return block;
}
} // namespace

QMAPI BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR StringSecurityDescriptor,
                                                                       DWORD StringSDRevision,
                                                                       PSECURITY_DESCRIPTOR* SecurityDescriptor,
                                                                       PULONG SecurityDescriptorSize)
{
    if (!StringSecurityDescriptor || !SecurityDescriptor)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (StringSDRevision != SDDL_REVISION_1)
    {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    Bytes block;
    try
    {
        block = Layout(ParseDescriptor(StringSecurityDescriptor));
    }
    catch (const Refused& refused)
    {
        SetLastError(refused.error);
        return FALSE;
    }
    HLOCAL memory = LocalAlloc(LMEM_FIXED, block.size());
    if (!memory)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    std::memcpy(memory, block.data(), block.size());
    *SecurityDescriptor = memory;
    if (SecurityDescriptorSize)
        *SecurityDescriptorSize = ULONG(block.size());
    return TRUE;
}

QMAPI BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR StringSecurityDescriptor,
                                                                       DWORD StringSDRevision,
                                                                       PSECURITY_DESCRIPTOR* SecurityDescriptor,
                                                                       PULONG SecurityDescriptorSize)
{
    if (!StringSecurityDescriptor)
        return ConvertStringSecurityDescriptorToSecurityDescriptorA(nullptr, StringSDRevision, SecurityDescriptor,
                                                                    SecurityDescriptorSize);
    // The language is ASCII: any other character cannot be part of a valid string.
    std::string narrow;
    for (const char16_t* p = StringSecurityDescriptor; *p; ++p)
    {
        if (*p >= 0x80)
        {
            SetLastError(StringSDRevision != SDDL_REVISION_1 ? ERROR_UNKNOWN_REVISION : ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        narrow += char(*p);
    }
    return ConvertStringSecurityDescriptorToSecurityDescriptorA(narrow.c_str(), StringSDRevision, SecurityDescriptor,
                                                                SecurityDescriptorSize);
}
