// The system message table (FORMAT_MESSAGE_FROM_SYSTEM). Internal to kernel32.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "windef.h"

namespace qm::kernel32
{
// One language's table as written in messages/<language>.txt.
struct MessageSource
{
    LANGID language;
    const char* text;
};
extern const MessageSource kSystemMessageSources[];
extern const size_t kSystemMessageSourceCount;

enum class MessageLookup
{
    Found,
    NoSuchMessage,     // ERROR_MR_MID_NOT_FOUND
    NoSuchLanguage     // ERROR_RESOURCE_LANG_NOT_FOUND
};

// The message for code (an HRESULT of FACILITY_WIN32 is looked up as its Win32 code) in
// exactly the language given, with its CR LF ending.
MessageLookup FindSystemMessage(DWORD code, LANGID language, std::u16string& text);

// The languages the table holds.
std::vector<LANGID> SystemMessageLanguages();
} // namespace qm::kernel32
