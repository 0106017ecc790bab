// Internet access: connection state and HTTP(S) requests by address.
#pragma once

#include "windef.h"

typedef void* HINTERNET;
typedef HINTERNET* LPHINTERNET;

#define INTERNET_CONNECTION_MODEM 0x01
#define INTERNET_CONNECTION_LAN 0x02
#define INTERNET_CONNECTION_PROXY 0x04
#define INTERNET_CONNECTION_OFFLINE 0x20
#define INTERNET_CONNECTION_CONFIGURED 0x40

#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3

#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_FLAG_NUMBER 0x20000000

#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
#define ERROR_INTERNET_SECURE_FAILURE 12175L

// The machine's connection (HKLM\SOFTWARE\Quillmark\Machine "InternetConnectedState",
// REG_DWORD of INTERNET_CONNECTION_* flags): TRUE with those flags when the machine states one,
// else FALSE with no flags.
QMAPI BOOL WINAPI InternetGetConnectedState(LPDWORD lpdwFlags, DWORD dwReserved);
// The session's proxy: PRECONFIG takes the user's Internet Settings (ProxyEnable,
// ProxyServer), DIRECT none, PROXY lpszProxy. The Linux environment's proxies are not used.
QMAPI HINTERNET WINAPI InternetOpenW(LPCWSTR lpszAgent, DWORD dwAccessType, LPCWSTR lpszProxy,
                                     LPCWSTR lpszProxyBypass, DWORD dwFlags);
// Sends a GET for an http: or https: address and returns once the answer's headers are in,
// whatever its status. No answer: NULL with ERROR_INTERNET_* (CANNOT_CONNECT, NAME_NOT_RESOLVED,
// TIMEOUT, SECURE_FAILURE, ...). HTTPS servers are checked against the system's trusted roots.
QMAPI HINTERNET WINAPI InternetOpenUrlW(HINTERNET hInternet, LPCWSTR lpszUrl, LPCWSTR lpszHeaders,
                                        DWORD dwHeadersLength, DWORD dwFlags, DWORD_PTR dwContext);
// HTTP_QUERY_STATUS_CODE, as text (bytes, without terminator, in *lpdwBufferLength) or with
// HTTP_QUERY_FLAG_NUMBER as a DWORD. Too small a buffer: ERROR_INSUFFICIENT_BUFFER and the
// size needed; other headers: ERROR_HTTP_HEADER_NOT_FOUND.
QMAPI BOOL WINAPI HttpQueryInfoW(HINTERNET hRequest, DWORD dwInfoLevel, LPVOID lpBuffer, LPDWORD lpdwBufferLength,
                                 LPDWORD lpdwIndex);
QMAPI BOOL WINAPI InternetCloseHandle(HINTERNET hInternet);

#define InternetOpen InternetOpenW
#define InternetOpenUrl InternetOpenUrlW
#define HttpQueryInfo HttpQueryInfoW
