// Asynchronous pluggable protocols (urlmon): the interfaces a protocol handler offers.
#pragma once

#include "objidl.h"
#include "unknwn.h"

#define INET_E_DEFAULT_ACTION ((HRESULT)0x800C0011L)

typedef ULONG_PTR HANDLE_PTR;

struct IInternetProtocolSink;
struct IInternetBindInfo;

typedef struct _tagPROTOCOLDATA
{
    DWORD grfFlags;
    DWORD dwState;
    LPVOID pData;
    ULONG cbData;
} PROTOCOLDATA;

typedef enum _tagPARSEACTION
{
    PARSE_CANONICALIZE = 1,
    PARSE_FRIENDLY,
    PARSE_SECURITY_URL,
    PARSE_ROOTDOCUMENT,
    PARSE_DOCUMENT,
    PARSE_ANCHOR,
    PARSE_ENCODE,
    PARSE_DECODE,
    PARSE_PATH_FROM_URL,
    PARSE_URL_FROM_PATH,
    PARSE_MIME,
    PARSE_SERVER,
    PARSE_SCHEMA,
    PARSE_SITE,
    PARSE_DOMAIN,
    PARSE_LOCATION,
    PARSE_SECURITY_DOMAIN,
    PARSE_ESCAPE,
    PARSE_UNESCAPE,
} PARSEACTION;

typedef enum _tagQUERYOPTION
{
    QUERY_EXPIRATION_DATE = 1,
    QUERY_TIME_OF_LAST_CHANGE,
    QUERY_CONTENT_ENCODING,
    QUERY_CONTENT_TYPE,
    QUERY_REFRESH,
    QUERY_RECOMBINE,
    QUERY_CAN_NAVIGATE,
    QUERY_USES_NETWORK,
    QUERY_IS_CACHED,
    QUERY_IS_INSTALLEDENTRY,
    QUERY_IS_CACHED_OR_MAPPED,
    QUERY_USES_CACHE,
    QUERY_IS_SECURE,
    QUERY_IS_SAFE,
} QUERYOPTION;

// {79EAC9E3-BAF9-11CE-8C82-00AA004BA90B}
QMAPI const IID IID_IInternetProtocolRoot;
// {79EAC9E4-BAF9-11CE-8C82-00AA004BA90B}
QMAPI const IID IID_IInternetProtocol;
// {79EAC9EC-BAF9-11CE-8C82-00AA004BA90B}
QMAPI const IID IID_IInternetProtocolInfo;

struct IInternetProtocolRoot : public IUnknown
{
    STDMETHOD(Start)(LPCWSTR szUrl, IInternetProtocolSink* pOIProtSink, IInternetBindInfo* pOIBindInfo, DWORD grfPI,
                     HANDLE_PTR dwReserved) PURE;
    STDMETHOD(Continue)(PROTOCOLDATA* pProtocolData) PURE;
    STDMETHOD(Abort)(HRESULT hrReason, DWORD dwOptions) PURE;
    STDMETHOD(Terminate)(DWORD dwOptions) PURE;
    STDMETHOD(Suspend)() PURE;
    STDMETHOD(Resume)() PURE;
};

struct IInternetProtocol : public IInternetProtocolRoot
{
    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) PURE;
    STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) PURE;
    STDMETHOD(LockRequest)(DWORD dwOptions) PURE;
    STDMETHOD(UnlockRequest)() PURE;
};

struct IInternetProtocolInfo : public IUnknown
{
    STDMETHOD(ParseUrl)(LPCWSTR pwzUrl, PARSEACTION ParseAction, DWORD dwParseFlags, LPWSTR pwzResult, DWORD cchResult,
                        DWORD* pcchResult, DWORD dwReserved) PURE;
    STDMETHOD(CombineUrl)(LPCWSTR pwzBaseUrl, LPCWSTR pwzRelativeUrl, DWORD dwCombineFlags, LPWSTR pwzResult,
                          DWORD cchResult, DWORD* pcchResult, DWORD dwReserved) PURE;
    STDMETHOD(CompareUrl)(LPCWSTR pwzUrl1, LPCWSTR pwzUrl2, DWORD dwCompareFlags) PURE;
    STDMETHOD(QueryInfo)(LPCWSTR pwzUrl, QUERYOPTION QueryOption, DWORD dwQueryFlags, LPVOID pBuffer, DWORD cbBuffer,
                         DWORD* pcbBuf, DWORD dwReserved) PURE;
};
