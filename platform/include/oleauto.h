// OLE Automation strings (BSTR): a UINT byte length just before the text, then the text and
// a terminating zero character. Every function accepts a NULL BSTR (an empty string).
#pragma once

#include "windef.h"
#include "winerror.h"

#if __has_include("oaidl.h")
#include "oaidl.h"
#endif

QMAPI BSTR WINAPI SysAllocString(const OLECHAR* psz);
// Copies ui characters of strIn (which may be NULL: the text is left zero-filled).
QMAPI BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// A BSTR of len bytes (odd lengths allowed); psz may be NULL. Two zero bytes follow the data.
QMAPI BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replaces *pbstr with a copy of psz (psz may point into *pbstr). FALSE when out of memory.
QMAPI INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
QMAPI INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
QMAPI UINT WINAPI SysStringLen(BSTR pbstr);
QMAPI UINT WINAPI SysStringByteLen(BSTR bstr);
QMAPI void WINAPI SysFreeString(BSTR bstrString);
