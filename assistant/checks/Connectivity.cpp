#include "Connectivity.h"

#include "CheckText.h"
#include "windows.h"
#include "wininet.h"

const char* const kMakerWebAddress = "http://www.quillmark.com.cn/";

int CheckUrlConnectivity(const char* pszAddress)
{
    DWORD dwFlags = 0;
    if (InternetGetConnectedState(&dwFlags, 0))
        return (dwFlags & INTERNET_CONNECTION_OFFLINE) ? -1 : 1;

    HINTERNET hInternet = InternetOpenW(u"Kivo", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!hInternet)
        return -1;
    int nResult = 0;
    try
    {
        std::u16string strAddress = WideFromAcp(pszAddress);
        HINTERNET hFile = InternetOpenUrlW(hInternet, strAddress.c_str(), nullptr, 0, 1, 1);
        if (!hFile)
            nResult = -1;
        else
        {
            DWORD dwStatus = 0, dwSize = sizeof dwStatus;
            if (HttpQueryInfoW(hFile, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &dwStatus, &dwSize, nullptr))
                nResult = (dwStatus >= 200 && dwStatus <= 299) ? 1 : int(dwStatus);
            InternetCloseHandle(hFile);
        }
    }
    catch (...)
    {
        nResult = 0;
    }
    InternetCloseHandle(hInternet);
    return nResult;
}
