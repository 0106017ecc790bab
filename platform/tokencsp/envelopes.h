// The vendor key blobs that carry an encrypted key pair to the token: an RSA envelope
// (key algorithm 0xA400 twice) and an SM2 ciphertext (0xBE00 twice), each naming its bytes
// by address. The address field is as wide as a pointer of the process; a blob may instead
// carry the bytes themselves right after its header.
#pragma once

#include <optional>

#include "kit/kit.h"

namespace qm::tokencsp
{
using cspkit::Bytes;

constexpr ALG_ID kSm2ExchangeAlg = 0xBE00;
constexpr ALG_ID kSm2SignatureAlg = 0x3E00;
constexpr ALG_ID kSm3Alg = 0x800F;

struct Envelope
{
    bool sm2 = false;
    DWORD keyBits = 0; // RSA: the key's length
    Bytes data;        // RSA: the envelope DER; SM2: the C1C3C2 ciphertext
};

// nullopt: not an envelope blob. error set: an envelope blob that is malformed.
std::optional<Envelope> ReadEnvelopeBlob(const BYTE* blob, DWORD length, DWORD* error);

// The encrypted session key and private key of an RSA envelope DER.
bool ReadRsaEnvelope(const Bytes& der, Bytes* sessionKey, Bytes* privateKey);
} // namespace qm::tokencsp
