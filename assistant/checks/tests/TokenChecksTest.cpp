// The token checks against a SoftHSM2 token made by qmctl, and the validity dates.
#include <cstdlib>
#include <ctime>

#include "CheckMachine.h"
#include "TokenChecks.h"

namespace
{
class TokenChecks : public CheckMachine
{
protected:
    void CreateToken(const char* label)
    {
        std::string cmd = "QM_MACHINE=" + m_dir.string() + " " QMCTL_PATH " token create \"Ostrel Ravo5150 CSP For Pellix v1.0\" --label " +
                          label + " >/dev/null 2>&1";
        ASSERT_EQ(0, std::system(cmd.c_str()));
        // The library finds the machine's token configuration by itself when it is loaded.
        ::unsetenv("SOFTHSM2_CONF");
    }
};

std::string LocalDate(int daysFromToday)
{
    std::time_t t = std::time(nullptr) + std::time_t(daysFromToday) * 86400;
    std::tm tm = {};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d120000", &tm);
    return text;
}
} // namespace

TEST_F(TokenChecks, NoLibraryMeansNoToken)
{
    CCheckBase check;
    EXPECT_EQ(1, LoadTokenLibrary(&check));
    EXPECT_EQ(-1, EnumTokenSlots(&check));
    EXPECT_EQ(0, ReadTokenCertificates(&check));
}

TEST_F(TokenChecks, TokenWithoutCertificatesCountsZero)
{
    CreateToken("EMPTY");
    CCheckBase check;
    // One token in its reader is one slot (SoftHSM2's free slot is no device).
    int slots = EnumTokenSlots(&check);
    ASSERT_EQ(1, slots);
    ASSERT_EQ(size_t(slots), check.m_tokens.size());
    EXPECT_EQ(-1, check.m_tokens[0].certCount);
    // The machine's own token, not one of the system's default token folder.
    CK_TOKEN_INFO info = {};
    ASSERT_EQ(CKR_OK, check.m_functions->C_GetTokenInfo(CK_SLOT_ID(check.m_tokens[0].slotId), &info));
    EXPECT_EQ("EMPTY", std::string(reinterpret_cast<const char*>(info.label), 5));
    EXPECT_STREQ((m_dir / "softhsm2.conf").c_str(), std::getenv("SOFTHSM2_CONF"));
    // A second enumeration accepts the library already initialised by the first.
    ASSERT_EQ(slots, EnumTokenSlots(&check));
    ASSERT_EQ(size_t(slots), check.m_tokens.size());
    EXPECT_EQ(1, ReadTokenCertificates(&check));
    EXPECT_EQ(0, check.m_tokens[0].certCount);
    EXPECT_EQ(0, check.m_tokens[0].notInMy);
    EXPECT_EQ(nullptr, check.m_module);
}

TEST_F(TokenChecks, ValidityByLocalDates)
{
    struct Case
    {
        int notAfterDays, notBeforeDays, expected;
    } cases[] = {
        {-1, -400, 1}, {0, -400, 2}, {29, -400, 2}, {31, -400, 0}, {365, 1, 0}, {365, 2, 3},
    };
    for (const auto& c : cases)
    {
        std::string after = LocalDate(c.notAfterDays), before = LocalDate(c.notBeforeDays);
        EXPECT_EQ(c.expected, CompareCertValidity(after.c_str(), before.c_str()))
            << c.notAfterDays << " " << c.notBeforeDays;
    }
    EXPECT_EQ(-1, CompareCertValidity(nullptr, "20200101000000"));
    EXPECT_EQ(-1, CompareCertValidity("18991231000000", "18990101000000"));
    DateParts d = ParseDateText("20260315101112");
    EXPECT_EQ(2026, d.year);
    EXPECT_EQ(3, d.month);
    EXPECT_EQ(15, d.day);
}
