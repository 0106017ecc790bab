// The stream over a global memory block (CreateStreamOnHGlobal). Clones share the block.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "objidl.h"
#include "winbase.h"

QMAPI const IID IID_ISequentialStream = {0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
QMAPI const IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

#ifndef STG_E_INVALIDFUNCTION
#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001L)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009L)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070L)
#endif

namespace
{
// The block and its logical size, shared by a stream and its clones.
struct Shared
{
    HGLOBAL block = nullptr;
    bool deleteOnRelease = false;
    ULONGLONG size = 0;
    ~Shared()
    {
        if (deleteOnRelease)
            GlobalFree(block);
    }
};

class CHGlobalStream final : public IStream
{
public:
    explicit CHGlobalStream(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream)
        {
            *ppv = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override
    {
        if (!pv)
            return STG_E_INVALIDPOINTER;
        ULONGLONG available = m_pos < m_shared->size ? m_shared->size - m_pos : 0;
        ULONG n = static_cast<ULONG>(std::min<ULONGLONG>(cb, available));
        if (n)
        {
            auto* data = static_cast<const BYTE*>(GlobalLock(m_shared->block));
            memcpy(pv, data + m_pos, n);
            GlobalUnlock(m_shared->block);
        }
        m_pos += n;
        if (pcbRead)
            *pcbRead = n;
        return S_OK;
    }

    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override
    {
        if (!pv)
            return STG_E_INVALIDPOINTER;
        ULONGLONG end = m_pos + cb;
        if (end > m_shared->size)
        {
            ULARGE_INTEGER size;
            size.QuadPart = end;
            if (FAILED(SetSize(size)))
                return STG_E_MEDIUMFULL;
        }
        auto* data = static_cast<BYTE*>(GlobalLock(m_shared->block));
        memcpy(data + m_pos, pv, cb);
        GlobalUnlock(m_shared->block);
        m_pos = end;
        if (pcbWritten)
            *pcbWritten = cb;
        return S_OK;
    }

    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override
    {
        LONGLONG base;
        switch (origin)
        {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<LONGLONG>(m_pos);
            break;
        case STREAM_SEEK_END:
            base = static_cast<LONGLONG>(m_shared->size);
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        LONGLONG target = base + move.QuadPart;
        if (target < 0)
            return STG_E_INVALIDFUNCTION;
        m_pos = static_cast<ULONGLONG>(target);
        if (newPosition)
            newPosition->QuadPart = m_pos;
        return S_OK;
    }

    STDMETHODIMP SetSize(ULARGE_INTEGER newSize) override
    {
        if (newSize.QuadPart > 0xFFFFFFFFull)
            return STG_E_MEDIUMFULL;
        if (newSize.QuadPart > GlobalSize(m_shared->block))
        {
            HGLOBAL grown = GlobalReAlloc(m_shared->block, static_cast<SIZE_T>(newSize.QuadPart), GMEM_MOVEABLE);
            if (!grown)
                return E_OUTOFMEMORY;
            m_shared->block = grown;
        }
        m_shared->size = newSize.QuadPart;
        return S_OK;
    }

    STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override
    {
        if (!target)
            return STG_E_INVALIDPOINTER;
        ULONGLONG available = m_pos < m_shared->size ? m_shared->size - m_pos : 0;
        ULONG n = static_cast<ULONG>(std::min<ULONGLONG>(cb.QuadPart, available));
        auto* data = static_cast<const BYTE*>(GlobalLock(m_shared->block));
        ULONG written = 0;
        HRESULT hr = target->Write(data + m_pos, n, &written);
        GlobalUnlock(m_shared->block);
        m_pos += n;
        if (pcbRead)
            pcbRead->QuadPart = n;
        if (pcbWritten)
            pcbWritten->QuadPart = written;
        return hr;
    }

    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

    STDMETHODIMP Stat(STATSTG* stat, DWORD) override
    {
        if (!stat)
            return STG_E_INVALIDPOINTER;
        *stat = {};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_shared->size;
        return S_OK;
    }

    STDMETHODIMP Clone(IStream** clone) override
    {
        if (!clone)
            return STG_E_INVALIDPOINTER;
        auto* copy = new CHGlobalStream(m_shared);
        copy->m_pos = m_pos;
        *clone = copy;
        return S_OK;
    }

    HGLOBAL Block() const { return m_shared->block; }

private:
    ~CHGlobalStream() = default;
    std::atomic<ULONG> m_refs{1};
    std::shared_ptr<Shared> m_shared;
    ULONGLONG m_pos = 0;
};
} // namespace

QMAPI HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm)
{
    if (!ppstm)
        return E_INVALIDARG;
    *ppstm = nullptr;
    auto shared = std::make_shared<Shared>();
    if (hGlobal)
    {
        SetLastError(NO_ERROR);
        SIZE_T size = GlobalSize(hGlobal);
        if (size == 0 && GetLastError() == ERROR_INVALID_HANDLE)
            return E_INVALIDARG;
        shared->size = size;
        shared->block = hGlobal;
    }
    else
    {
        shared->block = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!shared->block)
            return E_OUTOFMEMORY;
    }
    shared->deleteOnRelease = fDeleteOnRelease;
    *ppstm = new CHGlobalStream(std::move(shared));
    return S_OK;
}

QMAPI HRESULT WINAPI GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal)
{
    if (!pstm || !phglobal)
        return E_INVALIDARG;
    auto* s = dynamic_cast<CHGlobalStream*>(pstm);
    if (!s)
        return E_INVALIDARG;
    *phglobal = s->Block();
    return S_OK;
}
