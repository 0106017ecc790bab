// Encoding steps of the certificate request: typed strings, bit strings, attributes, the
// subject, each into a new heap buffer (array new) that the caller frees with delete[].
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "ByteBuffer.h"

// A typed string through X509_ANY_STRING. dwValueType: CERT_RDN_OCTET_STRING,
// CERT_RDN_PRINTABLE_STRING, CERT_RDN_IA5_STRING (bytes), CERT_RDN_UTF8_STRING (UTF-16
// text, cbValue its byte count).
HRESULT ComposeAnyString(DWORD cbValue, DWORD dwValueType, const BYTE* pbValue, BYTE** ppbOut,
                         DWORD* pcbOut);

// 03 L 00 bytes through X509_BITS.
HRESULT ComposeBITString(const BYTE* pbBits, DWORD cbBits, BYTE** ppbOut, DWORD* pcbOut);

// SEQUENCE { OID, SET { value } } through PKCS_ATTRIBUTE.
HRESULT ComposeStandardAttribute(LPCSTR lpszOid, const BYTE* pbValue, DWORD cbValue, BYTE** ppbOut,
                                 DWORD* pcbOut);

// SEQUENCE { OID, value }, or SEQUENCE { OID, NULL } when there is no value (pbValue null).
HRESULT ComposeSpecialAttribute(LPCSTR lpszOid, const BYTE* pbValue, DWORD cbValue, BYTE** ppbOut,
                                DWORD* pcbOut);

// Splits at every occurrence of wch: "" gives no pieces, a trailing separator a last
// empty piece.
std::vector<std::u16string> SplidWstr(const std::u16string& wstr, char16_t wch);
// Removes every occurrence of wch.
std::u16string ReplaceWchar(const std::u16string& wstr, char16_t wch);

struct SUBJECT_PAIR
{
    std::string strOid; // empty for a name outside the table
    std::u16string wstrValue;
};

// Name to OID text; "" for an unknown name (letter case and spaces already dealt with).
std::string GetObjectID(const std::u16string& wstrName);
// "name=value,..." to (OID, value) pairs in text order; NTE_BAD_DATA for a piece without
// exactly one equals sign.
HRESULT ParseSubject(LPCWSTR lpwszSubject, std::vector<SUBJECT_PAIR>& vtrPairs);
// One pair to SET { SEQUENCE { OID, typed value } }.
HRESULT ComposeSubjectChild(const SUBJECT_PAIR& pair, BYTE** ppbOut, DWORD* pcbOut);
// The Name: the RDNs in the reverse of the text order, in one SEQUENCE.
HRESULT ComposeSubject(LPCWSTR lpwszSubject, BYTE** ppbOut, DWORD* pcbOut);
