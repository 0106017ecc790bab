// DER reading and writing for the crypt32 stand-in: a strict tag-length-value reader that
// reports CryptoAPI's ASN.1 errors, a writer with minimal definite lengths, and OIDs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "windef.h"
#include "winerror.h"

namespace qm::der
{
using Bytes = std::vector<BYTE>;
using View = std::span<const BYTE>;

enum Tag : BYTE
{
    kBoolean = 0x01,
    kInteger = 0x02,
    kBitString = 0x03,
    kOctetString = 0x04,
    kNull = 0x05,
    kOid = 0x06,
    kEnumerated = 0x0A,
    kUtf8String = 0x0C,
    kNumericString = 0x12,
    kPrintableString = 0x13,
    kT61String = 0x14,
    kVideotexString = 0x15,
    kIa5String = 0x16,
    kUtcTime = 0x17,
    kGeneralizedTime = 0x18,
    kGraphicString = 0x19,
    kVisibleString = 0x1A,
    kGeneralString = 0x1B,
    kUniversalString = 0x1C,
    kBmpString = 0x1E,
    kSequence = 0x30,
    kSet = 0x31,
};

// One element: its tag, its contents, and the whole encoding (tag and length included).
struct Element
{
    BYTE tag = 0;
    View content;
    View whole;
};

// Reads elements one after another from a buffer. The first fault is kept in error():
// CRYPT_E_ASN1_EOD (data ends early), CRYPT_E_ASN1_BADTAG (unexpected tag),
// CRYPT_E_ASN1_CORRUPT (malformed length or contents), CRYPT_E_ASN1_LARGE (too long).
class Reader
{
public:
    explicit Reader(View data) : m_data(data) {}

    bool AtEnd() const { return m_pos >= m_data.size(); }
    bool Ok() const { return m_error == S_OK; }
    HRESULT error() const { return m_error; }
    void Fail(HRESULT hr)
    {
        if (m_error == S_OK)
            m_error = hr;
    }

    // The tag of the next element, or 0 at the end.
    BYTE PeekTag() const { return AtEnd() ? 0 : m_data[m_pos]; }

    // Any element.
    std::optional<Element> Next();
    // An element with this tag; another tag fails with CRYPT_E_ASN1_BADTAG.
    std::optional<Element> Expect(BYTE tag);
    // An element with this tag if it is next; otherwise nothing is consumed.
    std::optional<Element> Optional(BYTE tag);

private:
    View m_data;
    size_t m_pos = 0;
    HRESULT m_error = S_OK;
};

// Whole-buffer helper: exactly one element of this tag, nothing after it.
std::optional<Element> ReadSingle(View data, BYTE tag, HRESULT* pError);

// Writer helpers; each returns the complete TLV.
void AppendLength(Bytes& out, size_t len);
Bytes Tlv(BYTE tag, View content);
inline Bytes Tlv(BYTE tag, const Bytes& content) { return Tlv(tag, View(content)); }
void Append(Bytes& out, View more);
inline void Append(Bytes& out, const Bytes& more) { Append(out, View(more)); }

// INTEGER from little-endian two's complement bytes (CryptoAPI order), minimal form.
Bytes IntegerFromLittleEndian(View le);
// INTEGER contents to little-endian bytes, as they appear (no trimming).
Bytes ReverseBytes(View v);
// Unsigned value as INTEGER.
Bytes IntegerFromUnsigned(uint64_t v);
// INTEGER contents to a signed value; false if it does not fit.
bool IntegerToInt64(View content, int64_t* pValue);

// Dotted OID text to the contents of an OBJECT IDENTIFIER; false (CRYPT_E_OID_FORMAT) if malformed.
bool OidToContent(const char* psz, Bytes* pOut);
// Contents of an OBJECT IDENTIFIER to dotted text; false if malformed.
bool OidFromContent(View content, std::string* pOut);

// UTCTime or GeneralizedTime contents to a FILETIME (100 ns since 1601, UTC).
bool TimeToFileTime(BYTE tag, View content, FILETIME* pOut);

// Lexicographic order of encodings, as DER sorts the members of a SET OF.
void SortSetOf(std::vector<Bytes>& items);
} // namespace qm::der
