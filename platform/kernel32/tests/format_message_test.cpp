// FormatMessageW's buffer handling, inserts and line-width rules.
#include <string>

#include "test_machine.h"

namespace
{
constexpr DWORD kSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

TEST_F(FreshMachine, AllocatedBufferHoldsTheTextAndIsLocalFreed)
{
    LPWSTR text = nullptr;
    const DWORD n = FormatMessageW(kSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 0x80070057,
                                   0x0409, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, n), u"The parameter is incorrect.\r\n");
    EXPECT_EQ(text[n], u'\0');
    EXPECT_EQ(LocalFree(text), nullptr);
}

TEST_F(FreshMachine, ShortBufferFailsWithInsufficientBuffer)
{
    char16_t buffer[29];
    SetLastError(0);
    // "The parameter is incorrect.\r\n" is 29 characters: the terminator does not fit.
    EXPECT_EQ(FormatMessageW(kSystem, nullptr, 87, 0x0409, buffer, 29, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    char16_t exact[30];
    EXPECT_EQ(FormatMessageW(kSystem, nullptr, 87, 0x0409, exact, 30, nullptr), 29u);
}

TEST_F(FreshMachine, InsertsFromAnArrayAndIgnoredInserts)
{
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(u"npSigmora.dll"), 42};
    char16_t buffer[128];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             u"%1 failed: %2!d!%n%%1", 0, 0, buffer, 128,
                             reinterpret_cast<va_list*>(args));
    EXPECT_EQ(std::u16string(buffer, n), u"npSigmora.dll failed: 42\r\n%1");

    n = FormatMessageW(kSystem, nullptr, ERROR_BAD_EXE_FORMAT, 0x0409, buffer, 128, nullptr);
    EXPECT_EQ(std::u16string(buffer, n), u"%1 is not a valid Win32 application.\r\n");

    SetLastError(0);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_BAD_EXE_FORMAT, 0x0409,
                             buffer, 128, nullptr),
              0u)
        << "an insert without arguments";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(FreshMachine, MaxWidthMaskTurnsLineEndsIntoBlanks)
{
    char16_t buffer[128];
    const DWORD n = FormatMessageW(kSystem | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr, 0, 0x0409,
                                   buffer, 128, nullptr);
    EXPECT_EQ(std::u16string(buffer, n), u"The operation completed successfully. ");
}
} // namespace
