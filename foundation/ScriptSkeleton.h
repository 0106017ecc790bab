// What both plug-ins' CScriptablePluginObject share: the property handlers, the default
// invocation, argument tracing and the NPAPI string conversions.
#pragma once

#include <npfunctions.h>
#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// Trace the identifier's text and answer false; the result is left untouched.
bool SkeletonHasProperty(NPIdentifier name);
bool SkeletonGetProperty(NPIdentifier name, NPVariant* result);
bool SkeletonSetProperty(NPIdentifier name, const NPVariant* value);

// Sets the result to the string "default method return val".
bool SkeletonInvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result);

// Copies the text into browser memory and makes the result a string variant.
bool ConvertStringToNPVariant(const char* pszText, NPVariant* result);

// Traces the count and each argument's type (and the value of Bool, Int32, Double);
// never a string's text.
void TraceParameterInfo(const NPVariant* args, uint32_t argCount);

// A terminated copy of an NPString's characters (delete[] by the caller).
HRESULT ConverNPStringtoNULLEndString(char** ppszText, const NPUTF8* pchUTF8, uint32_t cbLength);

// Traces the identifier's UTF-8 text at information level (only fetched when traced).
void TraceIdentifierName(NPIdentifier name);

// The text of the default invocation.
#define DEFAULT_METHOD_RETURN_VALUE "default method return val"
