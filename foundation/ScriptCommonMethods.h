// The two script methods both plug-ins answer without their agent: the version text and the
// text of the object's last result.
#pragma once

#include <npfunctions.h>
#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// Where a shared handler reports: its full name (scope-traced), and the plug-in's source unit
// and line that its failed steps are traced under.
struct SCRIPT_TRACE_SITE
{
    LPCWSTR lpwszHandler;
    LPCWSTR lpwszSourceUnit;
    int nLine;
};

// The site of the calling line in the caller's SOURCE_UNIT.
#define SCRIPT_TRACE_SITE_HERE(handler) (SCRIPT_TRACE_SITE{(handler), SOURCE_UNIT, __LINE__})

// How a handler refuses arguments: the step, reason and code it traces.
struct SCRIPT_ARGUMENT_CHECK
{
    LPCWSTR lpwszStep;
    LPCWSTR lpwszReason;
    HRESULT hrFailure;
};

// No argument allowed; places the ASCII version text in the result. Null result and false on
// any failure.
bool ScriptGetVersion(const SCRIPT_TRACE_SITE& site, LPCSTR pszVersion, const NPVariant* args, uint32_t argCount,
                      NPVariant* result);

// No argument allowed (refused as the check says); places the message text of the last result,
// followed by its code, in the result. Null result and false on any failure.
bool ScriptGetLastErrorDesc(const SCRIPT_TRACE_SITE& site, const SCRIPT_ARGUMENT_CHECK& check, HRESULT hrLastResult,
                            const NPVariant* args, uint32_t argCount, NPVariant* result);
