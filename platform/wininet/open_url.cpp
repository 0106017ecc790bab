// InternetOpenW, InternetOpenUrlW and HttpQueryInfoW over libcurl.
#include <curl/curl.h>

#include <cstring>
#include <mutex>
#include <string>

#include "internet_handles.h"
#include "winbase.h"
#include "winnls.h"
#include "winreg.h"

namespace
{
using namespace qm::wininet;

std::string Utf8(LPCWSTR text)
{
    if (!text || !*text)
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(size_t(n - 1));
    return out;
}

// The user's Internet Settings proxy, when it is switched on.
std::string PreconfiguredProxy()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    DWORD enable = 0, type = 0, size = sizeof enable;
    std::string proxy;
    if (RegQueryValueExW(key, u"ProxyEnable", nullptr, &type, reinterpret_cast<BYTE*>(&enable), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && enable)
    {
        WCHAR server[512] = {};
        size = sizeof server - sizeof(WCHAR);
        if (RegQueryValueExW(key, u"ProxyServer", nullptr, &type, reinterpret_cast<BYTE*>(server), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ)
            proxy = Utf8(server);
    }
    RegCloseKey(key);
    return proxy;
}

DWORD ErrorOfCurl(CURLcode code)
{
    switch (code)
    {
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_SECURE_FAILURE;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    default: return ERROR_INTERNET_CONNECTION_RESET;
    }
}

// The answer's body is not kept: the request ends once its headers are in.
size_t StopAtBody(char*, size_t, size_t, void*) { return 0; }
} // namespace

QMAPI HINTERNET WINAPI InternetOpenW(LPCWSTR, DWORD dwAccessType, LPCWSTR lpszProxy, LPCWSTR, DWORD)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    auto session = std::make_shared<Session>();
    switch (dwAccessType)
    {
    case INTERNET_OPEN_TYPE_PRECONFIG: session->proxy = PreconfiguredProxy(); break;
    case INTERNET_OPEN_TYPE_DIRECT: break;
    case INTERNET_OPEN_TYPE_PROXY: session->proxy = Utf8(lpszProxy); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
    return AddHandle(std::move(session));
}

QMAPI HINTERNET WINAPI InternetOpenUrlW(HINTERNET hInternet, LPCWSTR lpszUrl, LPCWSTR, DWORD, DWORD, DWORD_PTR)
{
    auto object = FindHandle(hInternet);
    auto session = std::dynamic_pointer_cast<Session>(object);
    if (!session)
    {
        SetLastError(object ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::string url = Utf8(lpszUrl);
    auto scheme = url.find("://");
    std::string lower = url.substr(0, scheme == std::string::npos ? 0 : scheme);
    for (auto& c : lower)
        c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (scheme == std::string::npos)
    {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    if (lower != "http" && lower != "https")
    {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    CURL* curl = curl_easy_init();
    if (!curl)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L); // WinINet follows redirections
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_PROXY, session->proxy.c_str()); // "" keeps environment proxies out
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, StopAtBody);
    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    // Stopping at the body ends the transfer with a write error once the headers are in.
    if ((code != CURLE_OK && code != CURLE_WRITE_ERROR) || status == 0)
    {
        SetLastError(code == CURLE_OK || code == CURLE_WRITE_ERROR ? ERROR_INTERNET_CONNECTION_RESET
                                                                   : ErrorOfCurl(code));
        return nullptr;
    }
    auto request = std::make_shared<Request>();
    request->status = status;
    return AddHandle(std::move(request));
}

QMAPI BOOL WINAPI HttpQueryInfoW(HINTERNET hRequest, DWORD dwInfoLevel, LPVOID lpBuffer, LPDWORD lpdwBufferLength,
                                 LPDWORD)
{
    auto object = FindHandle(hRequest);
    auto request = std::dynamic_pointer_cast<Request>(object);
    if (!request)
    {
        SetLastError(object ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpdwBufferLength)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((dwInfoLevel & 0xFFFF) != HTTP_QUERY_STATUS_CODE)
    {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    if (dwInfoLevel & HTTP_QUERY_FLAG_NUMBER)
    {
        if (!lpBuffer || *lpdwBufferLength < sizeof(DWORD))
        {
            *lpdwBufferLength = sizeof(DWORD);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        *static_cast<DWORD*>(lpBuffer) = DWORD(request->status);
        *lpdwBufferLength = sizeof(DWORD);
        return TRUE;
    }
    const std::string digits = std::to_string(request->status);
    const DWORD needed = DWORD((digits.size() + 1) * sizeof(WCHAR));
    if (!lpBuffer || *lpdwBufferLength < needed)
    {
        *lpdwBufferLength = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* text = static_cast<WCHAR*>(lpBuffer);
    for (size_t i = 0; i < digits.size(); ++i)
        text[i] = WCHAR(digits[i]);
    text[digits.size()] = 0;
    *lpdwBufferLength = needed - sizeof(WCHAR);
    return TRUE;
}
