// Owner of one DER buffer handed out by the encoders (array new, freed with delete[]).
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

class CDerBuffer
{
public:
    CDerBuffer() = default;
    ~CDerBuffer() { Free(); }
    CDerBuffer(const CDerBuffer&) = delete;
    CDerBuffer& operator=(const CDerBuffer&) = delete;

    // Out-parameters for an encoder; whatever was held is freed first.
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

struct DER_PART
{
    const BYTE* pbData;
    DWORD cbData;
};

// Joins the parts into one new buffer of exactly their summed length.
HRESULT ConcatenateDerParts(const DER_PART* rgParts, DWORD cParts, CDerBuffer& bufOut);

// Tag over the joined parts.
HRESULT EncodeDerParts(DWORD dwTag, const DER_PART* rgParts, DWORD cParts, CDerBuffer& bufOut);
