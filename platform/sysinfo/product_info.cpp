// GetProductInfo: the edition the machine's registry names.
#include <utility>

#include "machine_facts.h"
#include "sysinfoapi.h"
#include "winbase.h"

namespace
{
// EditionID texts as Windows writes them, with the product type each stands for.
const std::pair<const char16_t*, DWORD> kEditions[] = {
    {u"Ultimate", 0x01},          {u"HomeBasic", 0x02},        {u"HomePremium", 0x03},
    {u"Enterprise", 0x04},        {u"HomeBasicN", 0x05},       {u"Business", 0x06},
    {u"ServerStandard", 0x07},    {u"ServerDatacenter", 0x08}, {u"ServerSBSStandard", 0x09},
    {u"ServerEnterprise", 0x0A},  {u"Starter", 0x0B},          {u"ServerDatacenterCore", 0x0C},
    {u"ServerStandardCore", 0x0D}, {u"ServerEnterpriseCore", 0x0E}, {u"ServerEnterpriseIA64", 0x0F},
    {u"BusinessN", 0x10},         {u"ServerWeb", 0x11},        {u"ServerComputeCluster", 0x12},
    {u"ServerHome", 0x13},        {u"ServerSBSPremium", 0x19}, {u"HomePremiumN", 0x1A},
    {u"EnterpriseN", 0x1B},       {u"UltimateN", 0x1C},        {u"Professional", 0x30},
    {u"Core", 0x65},              {u"Education", 0x79},
};
} // namespace

QMAPI BOOL WINAPI GetProductInfo(DWORD, DWORD, DWORD, DWORD, PDWORD type)
{
    if (!type)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string edition =
        qm::sysinfo::MachineText(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"EditionID");
    *type = PRODUCT_UNDEFINED;
    for (const auto& [name, value] : kEditions)
        if (edition == name)
            *type = value;
    return TRUE;
}
