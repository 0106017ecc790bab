// FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM) knows, in English and Simplified Chinese, every
// code the kit can produce or pass on, with Windows' texts and CR LF endings.
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "test_machine.h"
#include "wincrypt.h"

namespace
{
constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kChinese = 0x0804;

// The system text for code in language, or "" with *error set when there is none.
std::u16string SystemText(DWORD code, LANGID language, DWORD* error = nullptr)
{
    char16_t buffer[1024] = {};
    SetLastError(0xDEAD);
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, language, buffer, 1024, nullptr);
    if (error)
        *error = n ? 0 : GetLastError();
    return std::u16string(buffer, n);
}

#define CODE(c)                                                                                    \
    {                                                                                              \
        static_cast<DWORD>(c), #c                                                                  \
    }
struct KitCode
{
    DWORD code;
    const char* name;
};

// What the plug-ins, the assistant and the stand-in under them return or leave as last
// error: every Win32 error, COM and CryptoAPI code they use.
// clang-format off
const KitCode kKitCodes[] = {
    CODE(S_OK), CODE(ERROR_INVALID_FUNCTION), CODE(ERROR_FILE_NOT_FOUND), CODE(ERROR_PATH_NOT_FOUND),
    CODE(ERROR_TOO_MANY_OPEN_FILES), CODE(ERROR_ACCESS_DENIED), CODE(ERROR_INVALID_HANDLE),
    CODE(ERROR_NOT_ENOUGH_MEMORY), CODE(ERROR_BAD_FORMAT), CODE(ERROR_INVALID_ACCESS), CODE(ERROR_INVALID_DATA),
    CODE(ERROR_OUTOFMEMORY), CODE(ERROR_INVALID_DRIVE), CODE(ERROR_CURRENT_DIRECTORY), CODE(ERROR_NOT_SAME_DEVICE),
    CODE(ERROR_NO_MORE_FILES), CODE(ERROR_WRITE_PROTECT), CODE(ERROR_NOT_READY), CODE(ERROR_BAD_LENGTH),
    CODE(ERROR_WRITE_FAULT), CODE(ERROR_READ_FAULT), CODE(ERROR_GEN_FAILURE), CODE(ERROR_SHARING_VIOLATION),
    CODE(ERROR_LOCK_VIOLATION), CODE(ERROR_HANDLE_EOF), CODE(ERROR_NOT_SUPPORTED), CODE(ERROR_BAD_NETPATH),
    CODE(ERROR_FILE_EXISTS), CODE(ERROR_CANNOT_MAKE), CODE(ERROR_INVALID_PARAMETER), CODE(ERROR_OPEN_FAILED),
    CODE(ERROR_BUFFER_OVERFLOW), CODE(ERROR_DISK_FULL), CODE(ERROR_CALL_NOT_IMPLEMENTED),
    CODE(ERROR_INSUFFICIENT_BUFFER), CODE(ERROR_INVALID_NAME), CODE(ERROR_MOD_NOT_FOUND), CODE(ERROR_PROC_NOT_FOUND),
    CODE(ERROR_NEGATIVE_SEEK), CODE(ERROR_DIR_NOT_EMPTY), CODE(ERROR_NOT_LOCKED), CODE(ERROR_BAD_ARGUMENTS),
    CODE(ERROR_BAD_PATHNAME), CODE(ERROR_BUSY), CODE(ERROR_ALREADY_EXISTS), CODE(ERROR_BAD_EXE_FORMAT),
    CODE(ERROR_ENVVAR_NOT_FOUND), CODE(ERROR_FILENAME_EXCED_RANGE), CODE(ERROR_NO_DATA), CODE(ERROR_MORE_DATA),
    CODE(ERROR_NO_MORE_ITEMS), CODE(ERROR_DIRECTORY), CODE(ERROR_PARTIAL_COPY), CODE(ERROR_MR_MID_NOT_FOUND),
    CODE(ERROR_INVALID_ADDRESS), CODE(ERROR_ARITHMETIC_OVERFLOW), CODE(ERROR_ELEVATION_REQUIRED),
    CODE(ERROR_OPERATION_ABORTED), CODE(ERROR_IO_PENDING), CODE(ERROR_NOACCESS), CODE(ERROR_INVALID_FLAGS),
    CODE(ERROR_NO_TOKEN), CODE(ERROR_BADKEY), CODE(ERROR_CANTOPEN), CODE(ERROR_CANTREAD), CODE(ERROR_CANTWRITE),
    CODE(ERROR_KEY_DELETED), CODE(ERROR_CHILD_MUST_BE_VOLATILE), CODE(ERROR_NO_UNICODE_TRANSLATION),
    CODE(ERROR_DLL_INIT_FAILED), CODE(ERROR_NO_ASSOCIATION), CODE(ERROR_DLL_NOT_FOUND), CODE(ERROR_NOT_FOUND),
    CODE(ERROR_CANCELLED), CODE(ERROR_NOT_ALL_ASSIGNED), CODE(ERROR_PRIVILEGE_NOT_HELD), CODE(ERROR_NONE_MAPPED),
    CODE(ERROR_INVALID_SID), CODE(ERROR_INTERNAL_ERROR), CODE(ERROR_INVALID_WINDOW_HANDLE),
    CODE(ERROR_TLW_WITH_WSCHILD), CODE(ERROR_CANNOT_FIND_WND_CLASS), CODE(ERROR_CLASS_ALREADY_EXISTS),
    CODE(ERROR_CLASS_DOES_NOT_EXIST), CODE(ERROR_INVALID_INDEX), CODE(ERROR_CONTROL_ID_NOT_FOUND), CODE(ERROR_TIMEOUT), CODE(ERROR_DATATYPE_MISMATCH),
    CODE(ERROR_UNSUPPORTED_TYPE), CODE(ERROR_RESOURCE_DATA_NOT_FOUND), CODE(ERROR_RESOURCE_TYPE_NOT_FOUND),
    CODE(ERROR_RESOURCE_NAME_NOT_FOUND), CODE(ERROR_RESOURCE_LANG_NOT_FOUND), CODE(ERROR_INVALID_STATE),
    // As HRESULTs (FACILITY_WIN32 reads the Win32 text).
    CODE(E_ACCESSDENIED), CODE(E_HANDLE), CODE(E_OUTOFMEMORY), CODE(E_INVALIDARG), CODE(0x80070002),
    CODE(0x8007000D), CODE(0x80070103), CODE(0x8007057E),
    // COM and OLE Automation.
    CODE(E_NOTIMPL), CODE(E_NOINTERFACE), CODE(E_POINTER), CODE(E_ABORT), CODE(E_FAIL), CODE(E_UNEXPECTED),
    CODE(E_PENDING), CODE(RPC_E_CHANGED_MODE), CODE(DISP_E_MEMBERNOTFOUND), CODE(DISP_E_PARAMNOTFOUND),
    CODE(DISP_E_TYPEMISMATCH), CODE(DISP_E_UNKNOWNNAME), CODE(DISP_E_NONAMEDARGS), CODE(DISP_E_BADVARTYPE),
    CODE(DISP_E_EXCEPTION), CODE(DISP_E_OVERFLOW), CODE(DISP_E_BADINDEX), CODE(DISP_E_ARRAYISLOCKED),
    CODE(DISP_E_BADPARAMCOUNT), CODE(CLASS_E_NOAGGREGATION), CODE(CLASS_E_CLASSNOTAVAILABLE),
    CODE(REGDB_E_CLASSNOTREG), CODE(CO_E_NOTINITIALIZED), CODE(CO_E_CLASSSTRING), CODE(CO_E_DLLNOTFOUND),
    CODE(CO_E_ERRORINDLL),
    // CryptoAPI providers.
    CODE(NTE_BAD_UID), CODE(NTE_BAD_HASH), CODE(NTE_BAD_KEY), CODE(NTE_BAD_LEN), CODE(NTE_BAD_DATA),
    CODE(NTE_BAD_SIGNATURE), CODE(NTE_BAD_VER), CODE(NTE_BAD_ALGID), CODE(NTE_BAD_FLAGS), CODE(NTE_BAD_TYPE),
    CODE(NTE_BAD_KEY_STATE), CODE(NTE_BAD_HASH_STATE), CODE(NTE_NO_KEY), CODE(NTE_NO_MEMORY), CODE(NTE_EXISTS),
    CODE(NTE_PERM), CODE(NTE_NOT_FOUND), CODE(NTE_DOUBLE_ENCRYPT), CODE(NTE_BAD_PROVIDER), CODE(NTE_BAD_PROV_TYPE),
    CODE(NTE_BAD_PUBLIC_KEY), CODE(NTE_BAD_KEYSET), CODE(NTE_PROV_TYPE_NOT_DEF), CODE(NTE_PROV_TYPE_ENTRY_BAD),
    CODE(NTE_KEYSET_NOT_DEF), CODE(NTE_KEYSET_ENTRY_BAD), CODE(NTE_PROV_TYPE_NO_MATCH), CODE(NTE_SIGNATURE_FILE_BAD),
    CODE(NTE_PROVIDER_DLL_FAIL), CODE(NTE_PROV_DLL_NOT_FOUND), CODE(NTE_BAD_KEYSET_PARAM), CODE(NTE_FAIL),
    CODE(NTE_SYS_ERR), CODE(NTE_SILENT_CONTEXT), CODE(NTE_TOKEN_KEYSET_STORAGE_FULL), CODE(NTE_TEMPORARY_PROFILE),
    CODE(NTE_FIXEDPARAMETER), CODE(NTE_INVALID_PARAMETER), CODE(NTE_BUFFER_TOO_SMALL), CODE(NTE_NOT_SUPPORTED),
    CODE(NTE_NO_MORE_ITEMS),
    // crypt32: messages, stores, encoding, chains.
    CODE(CRYPT_E_MSG_ERROR), CODE(CRYPT_E_UNKNOWN_ALGO), CODE(CRYPT_E_OID_FORMAT), CODE(CRYPT_E_INVALID_MSG_TYPE),
    CODE(CRYPT_E_UNEXPECTED_ENCODING), CODE(CRYPT_E_AUTH_ATTR_MISSING), CODE(CRYPT_E_HASH_VALUE),
    CODE(CRYPT_E_INVALID_INDEX), CODE(CRYPT_E_ALREADY_DECRYPTED), CODE(CRYPT_E_NOT_DECRYPTED),
    CODE(CRYPT_E_RECIPIENT_NOT_FOUND), CODE(CRYPT_E_CONTROL_TYPE), CODE(CRYPT_E_ISSUER_SERIALNUMBER),
    CODE(CRYPT_E_SIGNER_NOT_FOUND), CODE(CRYPT_E_ATTRIBUTES_MISSING), CODE(CRYPT_E_STREAM_MSG_NOT_READY),
    CODE(CRYPT_E_STREAM_INSUFFICIENT_DATA), CODE(CRYPT_E_BAD_LEN), CODE(CRYPT_E_BAD_ENCODE), CODE(CRYPT_E_FILE_ERROR),
    CODE(CRYPT_E_NOT_FOUND), CODE(CRYPT_E_EXISTS), CODE(CRYPT_E_NO_PROVIDER), CODE(CRYPT_E_SELF_SIGNED),
    CODE(CRYPT_E_DELETED_PREV), CODE(CRYPT_E_NO_MATCH), CODE(CRYPT_E_UNEXPECTED_MSG_TYPE),
    CODE(CRYPT_E_NO_KEY_PROPERTY), CODE(CRYPT_E_NO_DECRYPT_CERT), CODE(CRYPT_E_BAD_MSG), CODE(CRYPT_E_NO_SIGNER),
    CODE(CRYPT_E_PENDING_CLOSE), CODE(CRYPT_E_REVOKED), CODE(CRYPT_E_NO_REVOCATION_DLL),
    CODE(CRYPT_E_NO_REVOCATION_CHECK), CODE(CRYPT_E_REVOCATION_OFFLINE), CODE(CRYPT_E_INVALID_NUMERIC_STRING),
    CODE(CRYPT_E_INVALID_PRINTABLE_STRING), CODE(CRYPT_E_INVALID_IA5_STRING), CODE(CRYPT_E_INVALID_X500_STRING),
    CODE(CRYPT_E_NOT_CHAR_STRING), CODE(CRYPT_E_ASN1_ERROR), CODE(CRYPT_E_ASN1_INTERNAL), CODE(CRYPT_E_ASN1_EOD),
    CODE(CRYPT_E_ASN1_CORRUPT), CODE(CRYPT_E_ASN1_LARGE), CODE(CRYPT_E_ASN1_CONSTRAINT), CODE(CRYPT_E_ASN1_MEMORY),
    CODE(CRYPT_E_ASN1_OVERFLOW), CODE(CRYPT_E_ASN1_BADPDU), CODE(CRYPT_E_ASN1_BADARGS), CODE(CRYPT_E_ASN1_BADREAL),
    CODE(CRYPT_E_ASN1_BADTAG), CODE(CRYPT_E_ASN1_CHOICE), CODE(CRYPT_E_ASN1_RULE), CODE(CRYPT_E_ASN1_UTF8),
    CODE(CRYPT_E_ASN1_PDU_TYPE), CODE(CRYPT_E_ASN1_NYI), CODE(CRYPT_E_ASN1_EXTENDED), CODE(CRYPT_E_ASN1_NOEOD),
    CODE(TRUST_E_CERT_SIGNATURE), CODE(CERT_E_EXPIRED), CODE(CERT_E_VALIDITYPERIODNESTING),
    CODE(CERT_E_UNTRUSTEDROOT), CODE(CERT_E_CHAINING), CODE(CERT_E_REVOKED), CODE(CERT_E_WRONG_USAGE),
};
// clang-format on
#undef CODE

TEST_F(FreshMachine, EveryKitCodeHasItsTextInBothLanguages)
{
    for (const KitCode& c : kKitCodes)
    {
        for (LANGID language : {kEnglish, kChinese})
        {
            DWORD error = 0;
            const std::u16string text = SystemText(c.code, language, &error);
            ASSERT_GT(text.size(), 2u) << c.name << " in " << language << ", error " << error;
            EXPECT_EQ(text.substr(text.size() - 2), u"\r\n") << c.name;
            EXPECT_NE(text[text.size() - 3], u' ') << c.name;
        }
        EXPECT_NE(SystemText(c.code, kEnglish), SystemText(c.code, kChinese)) << c.name;
    }
}

std::set<DWORD> TableCodes(const char* file)
{
    std::ifstream in(std::string(QM_KERNEL32_MESSAGES_DIR) + file);
    std::set<DWORD> codes;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#')
            codes.insert(
                static_cast<DWORD>(std::stoul(line.substr(0, line.find(' ')), nullptr, 0)));
    return codes;
}

TEST_F(FreshMachine, BothTablesHoldTheSameCodes)
{
    const std::set<DWORD> english = TableCodes("1033.txt");
    ASSERT_FALSE(english.empty());
    EXPECT_EQ(english, TableCodes("2052.txt"));
}

struct TextCase
{
    long long code; // an HRESULT constant or a hex literal
    const char16_t* english;
    const char16_t* chinese;
};

TEST_F(FreshMachine, TextsAreWindowsOwn)
{
    const TextCase cases[] = {
        {S_OK, u"The operation completed successfully.\r\n", u"操作成功完成。\r\n"},
        {E_INVALIDARG, u"The parameter is incorrect.\r\n", u"参数错误。\r\n"},
        {E_OUTOFMEMORY, u"Not enough storage is available to complete this operation.\r\n",
         u"存储空间不足，无法完成此操作。\r\n"},
        {0x8007000D, u"The data is invalid.\r\n", u"数据无效。\r\n"},
        {0x80070002, u"The system cannot find the file specified.\r\n",
         u"系统找不到指定的文件。\r\n"},
        {E_ACCESSDENIED, u"Access is denied.\r\n", u"拒绝访问。\r\n"},
        {0x80070103, u"No more data is available.\r\n", u"没有可用的数据了。\r\n"},
        {0x8007057E, u"Cannot create a top-level child window.\r\n", u"无法创建顶级子窗口。\r\n"},
        {E_FAIL, u"Unspecified error\r\n", u"未指定的错误\r\n"},
        {E_POINTER, u"Invalid pointer\r\n", u"无效指针\r\n"},
        {NTE_BAD_DATA, u"Bad Data.\r\n", u"不正确的数据。\r\n"},
        {NTE_BAD_ALGID, u"Invalid algorithm specified.\r\n", u"指定了无效的算法。\r\n"},
        {NTE_BAD_KEYSET, u"Keyset does not exist\r\n", u"密钥集不存在\r\n"},
        {CRYPT_E_NOT_FOUND, u"Cannot find object or property.\r\n", u"找不到对象或属性。\r\n"},
        {CRYPT_E_EXISTS, u"The object or property already exists.\r\n", u"对象或属性已存在。\r\n"},
        {CRYPT_E_ASN1_CORRUPT, u"ASN1 corrupted data.\r\n", u"ASN1 损坏的数据。\r\n"},
        {DISP_E_UNKNOWNNAME, u"Unknown name.\r\n", u"未知名称。\r\n"},
    };
    for (const TextCase& c : cases)
    {
        EXPECT_EQ(SystemText(static_cast<DWORD>(c.code), kEnglish), c.english)
            << std::hex << c.code;
        EXPECT_EQ(SystemText(static_cast<DWORD>(c.code), kChinese), c.chinese)
            << std::hex << c.code;
    }
}

TEST_F(FreshMachine, Win32HresultsReadTheWin32Text)
{
    for (const KitCode& c : kKitCodes)
    {
        if (c.code == 0 || c.code >= 0x10000)
            continue;
        for (LANGID language : {kEnglish, kChinese})
            EXPECT_EQ(SystemText(static_cast<DWORD>(HRESULT_FROM_WIN32(c.code)), language),
                      SystemText(c.code, language))
                << c.name;
    }
}

TEST_F(FreshMachine, UnknownCodesFailWithMessageNotFound)
{
    // The plug-ins' own codes live in their string tables, never in the system's.
    const DWORD unknown[] = {
        0xA0071002, 0x20001002, 0xA0072021, static_cast<DWORD>(SELFREG_E_CLASS),
        0x8007FFFF, 0x00070000, 0x12345678, 0xFFFFFFFF};
    for (DWORD code : unknown)
        for (LANGID language : {LANGID(0), kEnglish, kChinese})
        {
            DWORD error = 0;
            EXPECT_EQ(SystemText(code, language, &error), u"") << std::hex << code;
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND)) << std::hex << code;
        }
}

TEST_F(FreshMachine, LanguageZeroFollowsTheThreadUiLanguage)
{
    EXPECT_EQ(SystemText(S_OK, 0), u"The operation completed successfully.\r\n")
        << "machine default 1033";
    EXPECT_EQ(SetThreadUILanguage(kChinese), kChinese);
    EXPECT_EQ(GetThreadUILanguage(), kChinese);
    EXPECT_EQ(SystemText(S_OK, 0), u"操作成功完成。\r\n");
    EXPECT_EQ(SystemText(S_OK, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)), u"操作成功完成。\r\n");
    EXPECT_EQ(SystemText(S_OK, kEnglish), u"The operation completed successfully.\r\n")
        << "explicit beats thread";
    SetThreadUILanguage(0);
    EXPECT_EQ(SystemText(S_OK, 0), u"The operation completed successfully.\r\n");
}

TEST_F(FreshMachine, ALanguageWithoutTablesIsNotFound)
{
    DWORD error = 0;
    EXPECT_EQ(SystemText(S_OK, 0x0407, &error), u"");
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
}
} // namespace
