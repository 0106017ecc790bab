// Streams: ISequentialStream and IStream, and the stream over a global memory block.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "unknwn.h"

typedef union _LARGE_INTEGER_QM
{
    struct
    {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER_QM;
typedef union _ULARGE_INTEGER_QM
{
    struct
    {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
} ULARGE_INTEGER_QM;
#ifndef QM_HAVE_LARGE_INTEGER
#define QM_HAVE_LARGE_INTEGER
typedef LARGE_INTEGER_QM LARGE_INTEGER;
typedef ULARGE_INTEGER_QM ULARGE_INTEGER;
#endif

typedef struct tagSTATSTG
{
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
} STATSTG;

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1
#define STGTY_STREAM 2

QMAPI const IID IID_ISequentialStream; // {0C733A30-2A1C-11CE-ADE5-00AA0044773D}
QMAPI const IID IID_IStream;           // {0000000C-0000-0000-C000-000000000046}

struct ISequentialStream : public IUnknown
{
    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) PURE;
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) PURE;
};

struct IStream : public ISequentialStream
{
    STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) PURE;
    STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) PURE;
    STDMETHOD(CopyTo)(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) PURE;
    STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
    STDMETHOD(Revert)() PURE;
    STDMETHOD(LockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
    STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;
    STDMETHOD(Clone)(IStream** ppstm) PURE;
};
typedef IStream* LPSTREAM;

// A stream over the block (hGlobal NULL: a new moveable block). The stream grows the block
// when written past its end; with fDeleteOnRelease the block is freed with the stream.
QMAPI HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);
QMAPI HRESULT WINAPI GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal);

// The process's global interface table: interfaces registered by one thread and fetched by
// any thread of the process. Calls are not marshalled between apartments here, so a fetched
// pointer is the registered object itself (asked for the interface requested).
QMAPI const IID IID_IGlobalInterfaceTable;        // {00000146-0000-0000-C000-000000000046}
QMAPI const CLSID CLSID_StdGlobalInterfaceTable; // {00000323-0000-0000-C000-000000000046}

struct IGlobalInterfaceTable : public IUnknown
{
    // Holds the object's riid interface (E_NOINTERFACE when it has none) under a cookie that
    // is never 0. E_INVALIDARG for a null object or cookie pointer.
    STDMETHOD(RegisterInterfaceInGlobal)(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) PURE;
    // Lets go of the registered interface; E_INVALIDARG for a cookie that is not registered.
    STDMETHOD(RevokeInterfaceFromGlobal)(DWORD dwCookie) PURE;
    // The registered object's riid interface, AddRef'd for the caller. E_INVALIDARG for a
    // cookie that is not registered or a null ppv.
    STDMETHOD(GetInterfaceFromGlobal)(DWORD dwCookie, REFIID riid, void** ppv) PURE;
};
