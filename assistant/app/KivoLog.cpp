#include "KivoLog.h"

#include <cstdio>

CKivoLog::~CKivoLog() { Close(); }

bool CKivoLog::Open(const std::u16string& strPath)
{
    std::lock_guard guard(m_lock);
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = strPath.empty() ? INVALID_HANDLE_VALUE
                              : CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 1 /*FILE_SHARE_READ*/,
                                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_nLogOn = m_hFile != INVALID_HANDLE_VALUE ? 1 : 0;
    return m_nLogOn != 0;
}

void CKivoLog::Close()
{
    std::lock_guard guard(m_lock);
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

void CKivoLog::WriteLogText(const std::u16string& strText)
{
    std::lock_guard guard(m_lock);
    if (!m_nLogOn || m_hFile == INVALID_HANDLE_VALUE)
        return;
    std::u16string wstrLine = u"----" + strText + u"\r\n";
    int cb = WideCharToMultiByte(CP_ACP, 0, wstrLine.c_str(), int(wstrLine.size()), nullptr, 0, nullptr, nullptr);
    if (cb <= 0)
        return;
    std::string strLine(size_t(cb), '\0');
    WideCharToMultiByte(CP_ACP, 0, wstrLine.c_str(), int(wstrLine.size()), strLine.data(), cb, nullptr, nullptr);
    SetFilePointer(m_hFile, 0, nullptr, FILE_END);
    DWORD dwWritten = 0;
    WriteFile(m_hFile, strLine.data(), DWORD(strLine.size()), &dwWritten, nullptr);
    FlushFileBuffers(m_hFile);
}

void CKivoLog::Empty()
{
    std::lock_guard guard(m_lock);
    if (!m_nLogOn || m_hFile == INVALID_HANDLE_VALUE)
        return;
    SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(m_hFile);
}

std::u16string BuildLogPath(const std::u16string& strModulePath)
{
    std::u16string strPath = strModulePath;
    size_t nSlash = strPath.find_last_of(u"\\/");
    std::u16string strName = nSlash == std::u16string::npos ? strPath : strPath.substr(nSlash + 1);
    if (strName.empty())
        return {};
    if (strName.find(u'.') == std::u16string::npos)
        strPath += u".exe";
    strPath.replace(strPath.size() - 3, 3, u"log");
    return strPath;
}

std::u16string FormatNowTime()
{
    SYSTEMTIME st = {};
    GetLocalTime(&st);
    char szTime[128];
    int n = std::snprintf(szTime, sizeof szTime, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay,
                          st.wHour, st.wMinute, st.wSecond);
    if (n <= 0 || size_t(n) >= sizeof szTime)
        return {};
    return std::u16string(szTime, szTime + n);
}
