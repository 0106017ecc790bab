// DER tag-length-value writer and the DER form of a raw SM2 signature.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

#define ASN_TAG_INTEGER 0x02
#define ASN_TAG_OCTET_STRING 0x04
#define ASN_TAG_OBJECT_IDENTIFIER 0x06
#define ASN_TAG_UTF8_STRING 0x0C
#define ASN_TAG_PRINTABLE_STRING 0x13
#define ASN_TAG_IA5_STRING 0x16
#define ASN_TAG_BMP_STRING 0x1E
#define ASN_TAG_SEQUENCE 0x30
#define ASN_TAG_SET 0x31
#define ASN_TAG_CONTEXT_0_PRIMITIVE 0x80
#define ASN_TAG_CONTEXT_0_CONSTRUCTED 0xA0

// Definite length octets; a length of 0 is refused with E_FAIL.
HRESULT CalculateASNValueLength(DWORD cbValue, BYTE** ppbLength, DWORD* pcbLength);

// Tag, length octets, value copied unchanged. Only the tags above are written.
HRESULT ASN1Encode(DWORD dwTag, const BYTE* pbValue, DWORD cbValue, BYTE** ppbEncoded, DWORD* pcbEncoded);

// SEQUENCE { INTEGER r, INTEGER s } of a 64-byte r || s (each 32 bytes, big-endian), with
// minimal INTEGERs; bWrapInOctetString selects the OCTET STRING around it.
HRESULT SM2EncodeRawSignatureAs(BYTE** ppbEncoded, DWORD* pcbEncoded, const BYTE* pbRaw, DWORD cbRaw,
                                bool bWrapInOctetString);

#define SM2_RAW_SIGNATURE_SIZE 64
#define SM2_COORDINATE_SIZE 32
