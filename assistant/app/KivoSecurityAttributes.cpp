#include "KivoSecurityAttributes.h"

#include "KivoApp.h"

namespace
{
using PFN_CONVERT_SDDL = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
// Low integrity, no write-up: a process of any integrity level may open the mutex.
const char kLowLabel[] = "S:(ML;;NW;;;LW)";
} // namespace

CKivoSecurityAttributes::CKivoSecurityAttributes(int nOSVersionCode)
{
    // The Windows 95/98/Me family has no object security.
    if (nOSVersionCode >= 3 && nOSVersionCode <= 7)
        return;
    if (!InitializeSecurityDescriptor(&m_sd, SECURITY_DESCRIPTOR_REVISION))
        return;
    SetSecurityDescriptorDacl(&m_sd, TRUE, nullptr, FALSE);
    // sizeof the record: 12 on 32-bit Windows, what CreateMutex expects on each platform.
    m_sa.nLength = sizeof(SECURITY_ATTRIBUTES);
    m_sa.lpSecurityDescriptor = &m_sd;
    m_sa.bInheritHandle = FALSE;

    // Bound by name: Windows before Vista has no mandatory labels and no such conversion.
    m_hAdvapi = LoadLibraryA("advapi32.dll");
    if (!m_hAdvapi)
        return;
    auto pfnConvert = reinterpret_cast<PFN_CONVERT_SDDL>(reinterpret_cast<void*>(
        GetProcAddress(m_hAdvapi, "ConvertStringSecurityDescriptorToSecurityDescriptorA")));
    if (!pfnConvert || !pfnConvert(kLowLabel, 1, &m_pLabelSD, nullptr))
    {
        m_pLabelSD = nullptr;
        return;
    }
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    PACL pSacl = nullptr;
    if (GetSecurityDescriptorSacl(m_pLabelSD, &bPresent, &pSacl, &bDefaulted))
        SetSecurityDescriptorSacl(&m_sd, TRUE, pSacl, FALSE);
}

CKivoSecurityAttributes::~CKivoSecurityAttributes()
{
    if (m_pLabelSD)
        LocalFree(m_pLabelSD);
    if (m_hAdvapi)
        FreeLibrary(m_hAdvapi);
}

CKivoSecurityAttributes& KivoSecurityAttributes()
{
    static CKivoSecurityAttributes sa(KivoOSVersionCode());
    return sa;
}
