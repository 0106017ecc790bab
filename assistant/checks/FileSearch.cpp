#include "FileSearch.h"

#include "fileapi.h"
#include "windows.h"

bool FindFilesRecursive(std::vector<std::u16string>& files, const std::u16string& strFolder,
                        const std::u16string& strName)
{
    std::u16string strPattern = strFolder + u"\\*.*";
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(strPattern.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return true;
    do
    {
        // "." and ".." and hidden dot entries; a drive's root has no dot entries, so its first
        // entry is a real one and is examined like the rest.
        if (data.cFileName[0] == u'.')
            continue;
        std::u16string strPath = strFolder + u"\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            FindFilesRecursive(files, strPath, strName);
        if (strPath.size() >= strName.size() &&
            strPath.compare(strPath.size() - strName.size(), strName.size(), strName) == 0)
            files.push_back(strPath);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return true;
}
