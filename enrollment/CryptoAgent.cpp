#include "CryptoAgent.h"

#include <oleauto.h>

#include "ErrorText.h"
#include "Trace.h"

CCryptoAgent::CCryptoAgent() : m_hrLastResult(S_OK)
{
    TraceHelper trace(u"CCryptoAgent::CCryptoAgent");
}

CCryptoAgent::~CCryptoAgent()
{
    TraceHelper trace(u"CCryptoAgent::~CCryptoAgent");
}

HRESULT CCryptoAgent::GetLastErrorDesc(BSTR* pbstrDescription)
{
    TraceHelper trace(u"CCryptoAgent::GetLastErrorDesc");
    if (!pbstrDescription)
    {
        return E_POINTER;
    }
    *pbstrDescription = nullptr;
    WCHAR wszText[ERROR_TEXT_CCH];
    FormatErrorText(m_hrLastResult, wszText);
    *pbstrDescription = SysAllocString(wszText);
    return S_OK;
}
