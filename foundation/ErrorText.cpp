#include "ErrorText.h"

#include <cstring>

#include <oleauto.h>
#include <strsafe.h>

#include "HResult.h"
#include "ModuleHandle.h"
#include "Trace.h"

void FormatErrorText(HRESULT hrCode, WCHAR (&wszText)[ERROR_TEXT_CCH])
{
    memset(wszText, 0, sizeof(wszText));
    QM_TRACE_INFO((DWORD)hrCode);
    if (IS_OWN_HRESULT(hrCode))
    {
        UINT uId = (UINT)(hrCode & 0xFFFF);
        QM_TRACE_INFO(uId);
        LoadStringW(g_hModuleInstance, uId, wszText, ERROR_TEXT_CCH - 1);
    }
    else
    {
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, (DWORD)hrCode, 0,
                       wszText, ERROR_TEXT_CCH - 1, nullptr);
    }
    size_t cchText = std::char_traits<char16_t>::length(wszText);
    StringCchPrintfW(wszText + cchText, ERROR_TEXT_CCH - cchText, u"\n(0x%08x)", (DWORD)hrCode);
    QM_TRACE_INFO(wszText);
}

HRESULT AllocErrorText(HRESULT hrCode, BSTR* pbstrText)
{
    if (!pbstrText)
    {
        return E_POINTER;
    }
    *pbstrText = nullptr;
    WCHAR wszText[ERROR_TEXT_CCH];
    FormatErrorText(hrCode, wszText);
    *pbstrText = SysAllocString(wszText);
    return S_OK;
}
