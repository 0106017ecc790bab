#include "Misc.h"

#include <objbase.h>
#include <shlwapi.h>

#include "HResult.h"
#include "Trace.h"

#define SOURCE_UNIT u"Misc"

void DumpDatatoTempFile(std::u16string& wstrPath, const BYTE* pbData, DWORD cbData)
{
    static const WCHAR s_wszName[] = u"DumpDatatoTempFile";
    TraceHelper trace(s_wszName);
    std::u16string wstrGUID;
    HRESULT hResult = CreateGUIDStr(wstrGUID);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CreateGUIDStr", u"FAILED(hResult)", hResult);
        return;
    }
    std::u16string wstrTempDir;
    hResult = GetTempDirPath(wstrTempDir);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetTempDirPath", u"FAILED(hResult)", hResult);
        return;
    }
    std::u16string wstrFile = wstrTempDir + wstrGUID + u".Brevan";
    QM_TRACE_INFO(wstrFile.c_str());
    hResult = WriteDatatoFile(wstrFile.c_str(), pbData, cbData);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"WriteDatatoFile", u"FAILED(hResult)", hResult);
        return;
    }
    wstrPath = wstrFile;
}

HRESULT WriteDatatoFile(LPCWSTR lpwszPath, const BYTE* pbData, DWORD cbData)
{
    static const WCHAR s_wszName[] = u"WriteDatatoFile";
    TraceHelper trace(s_wszName);
    HRESULT hResult = S_OK;
    if (PathFileExistsW(lpwszPath))
    {
        if (!DeleteFileW(lpwszPath))
        {
            hResult = HResultFromLastError();
            TraceResult(hResult, u"DeleteFile");
            if (FAILED(hResult))
            {
                return hResult;
            }
        }
    }
    HANDLE hFile = CreateFileW(lpwszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        hResult = HResultOfFailedCall();
        TraceResult(hResult, u"CreateFile");
        return hResult;
    }
    DWORD cbWritten = 0;
    if (!WriteFile(hFile, pbData, cbData, &cbWritten, nullptr))
    {
        hResult = HResultOfFailedCall();
        TraceResult(hResult, u"WriteFile");
    }
    CloseHandle(hFile);
    return hResult;
}

HRESULT CreateGUIDStr(std::u16string& wstrGUID)
{
    static const WCHAR s_wszName[] = u"CreateGUIDStr";
    TraceHelper trace(s_wszName);
    GUID guid;
    HRESULT hResult = CoCreateGuid(&guid);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CoCreateGuid", u"FAILED(hResult)", hResult);
        return hResult;
    }
    WCHAR wszGUID[64] = {};
    if (StringFromGUID2(guid, wszGUID, 64) == 0)
    {
        hResult = HResultOfFailedCall();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"StringFromGUID2", u"0 == nResult", hResult);
        return hResult;
    }
    wstrGUID = wszGUID;
    return S_OK;
}

HRESULT GetTempDirPath(std::u16string& wstrPath)
{
    static const WCHAR s_wszName[] = u"GetTempDirPath";
    TraceHelper trace(s_wszName);
    WCHAR wszPath[MAX_PATH] = {};
    if (GetTempPathW(MAX_PATH, wszPath) == 0)
    {
        HRESULT hResult = HResultOfFailedCall();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetTempPathW", u"0 == dwResult", hResult);
        return hResult;
    }
    wstrPath = wszPath;
    return S_OK;
}
