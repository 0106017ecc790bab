// The security of the single-instance mutex: open to every user (a NULL DACL) and, where
// integrity levels exist, to every integrity level (a low mandatory label).
#pragma once

#include "windows.h"

class CKivoSecurityAttributes
{
public:
    // nOSVersionCode: the OSVersion code; the Windows 9x family (3 to 7) gets no attributes.
    explicit CKivoSecurityAttributes(int nOSVersionCode);
    ~CKivoSecurityAttributes();
    CKivoSecurityAttributes(const CKivoSecurityAttributes&) = delete;
    CKivoSecurityAttributes& operator=(const CKivoSecurityAttributes&) = delete;

    // The record for CreateMutex, NULL (default security) when none was built.
    LPSECURITY_ATTRIBUTES Get() { return m_sa.nLength ? &m_sa : nullptr; }
    const SECURITY_DESCRIPTOR& Descriptor() const { return m_sd; }
    bool HasLowLabel() const { return m_pLabelSD != nullptr; }

private:
    SECURITY_ATTRIBUTES m_sa = {};
    SECURITY_DESCRIPTOR m_sd = {};
    // The converted descriptor whose SACL m_sd points into: kept until exit.
    PSECURITY_DESCRIPTOR m_pLabelSD = nullptr;
    HMODULE m_hAdvapi = nullptr;
};

// The program's one object, built at its first use from the OSVersion code.
CKivoSecurityAttributes& KivoSecurityAttributes();
