// The USB token's certificates, read over the vendor's PKCS#11 library without a login.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ComonCheck.h"
#include "p11-kit/pkcs11.h"
#include "wincrypt.h"
#include "windows.h"

struct TokenSlotInfo
{
    int32_t slotId;
    int32_t session;
    int32_t certCount;    // -1 until counted
    int32_t notInMy;      // not found in the user's "MY" store
    int32_t expired;
    int32_t expiringSoon; // within the configured window
    int32_t notYetValid;
};

class CCheckBase
{
public:
    CCheckBase() = default;
    virtual ~CCheckBase();
    CCheckBase(const CCheckBase&) = delete;
    CCheckBase& operator=(const CCheckBase&) = delete;

    CComonCheck m_common;
    std::vector<TokenSlotInfo> m_tokens;
    uint32_t m_slotCount = 0;
    HMODULE m_module = nullptr;
    CK_FUNCTION_LIST* m_functions = nullptr;
    std::vector<uint32_t> m_slotIds;
};

// 0 when the library is loaded and initialised; 1 otherwise.
int LoadTokenLibrary(CCheckBase* check);
// Slots with a token present (1 or more), or -1.
int EnumTokenSlots(CCheckBase* check);
// 0 without a function list; else 1 after counting every listed slot and releasing the library.
int ReadTokenCertificates(CCheckBase* check);

// Validity texts of a certificate, local time "%04d%02d%02d%02d%02d%02d".
struct CertValidityText
{
    std::string notBefore;
    std::string notAfter;
};
// 1 expired, 2 expiring within the window, 3 not yet valid, 0 valid; -1 when a text is missing.
int CompareCertValidity(const char* notAfter, const char* notBefore);
struct DateParts
{
    int year, month, day;
};
DateParts ParseDateText(const char* text);
// Fills the record and frees the context.
void ParseCertificateInfo(PCCERT_CONTEXT cert, CertValidityText* record);
