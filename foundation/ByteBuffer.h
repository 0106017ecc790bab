// Owner of one heap buffer handed out by an encoding step (array new, freed with delete[]),
// and the joining of encoded parts into one buffer.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

class CByteBuffer
{
  public:
    CByteBuffer() = default;
    ~CByteBuffer() { Free(); }
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;

    // Out-parameters for a step; whatever was held is freed first.
    BYTE** Put()
    {
        Free();
        return &m_pbData;
    }
    DWORD* PutLength() { return &m_cbData; }

    const BYTE* Data() const { return m_pbData; }
    DWORD Length() const { return m_cbData; }

    // Hands the buffer to the caller, who frees it.
    BYTE* Detach()
    {
        BYTE* pb = m_pbData;
        m_pbData = nullptr;
        m_cbData = 0;
        return pb;
    }

    void Free()
    {
        delete[] m_pbData;
        m_pbData = nullptr;
        m_cbData = 0;
    }

  private:
    BYTE* m_pbData = nullptr;
    DWORD m_cbData = 0;
};

struct BYTE_PART
{
    const BYTE* pbData;
    DWORD cbData;
};

// The parts joined into one new buffer of exactly their summed length; no parts (or only
// empty ones) give a buffer of length 0 that is still freed with delete[].
HRESULT ConcatenateParts(const BYTE_PART* rgParts, DWORD cParts, BYTE** ppbOut, DWORD* pcbOut);

// The tag written over the joined parts (ASN1Encode, which refuses empty contents).
HRESULT EncodeParts(DWORD dwTag, const BYTE_PART* rgParts, DWORD cParts, BYTE** ppbOut,
                    DWORD* pcbOut);
