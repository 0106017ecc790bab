#include "ChainDocument.h"

#include <stdexcept>

#include "Base64Encoding.h"

namespace
{
size_t FindNth(const std::string& str, const std::string& strWhat, size_t nIndex)
{
    size_t nPos = 0;
    for (size_t i = 0;; ++i)
    {
        nPos = str.find(strWhat, nPos);
        if (nPos == std::string::npos || i == nIndex)
        {
            return nPos;
        }
        nPos += strWhat.size();
    }
}

DWORD Read32(const Bytes& b, size_t i)
{
    return (DWORD)b[i] | ((DWORD)b[i + 1] << 8) | ((DWORD)b[i + 2] << 16) | ((DWORD)b[i + 3] << 24);
}
} // namespace

std::string Base64Lines(const Bytes& data)
{
    LPSTR pszText = nullptr;
    DWORD cchText = 0;
    if (FAILED(Base64EncodeWithFlags(BASE64_FLAG_NO_CRLF, &pszText, data.data(), (DWORD)data.size(), &cchText)))
    {
        throw std::runtime_error("Base64EncodeWithFlags");
    }
    std::string strFlat(pszText, cchText);
    delete[] pszText;
    std::string strOut;
    for (size_t i = 0; i < strFlat.size(); i += 76)
    {
        strOut += (i ? "\r\n" : "") + strFlat.substr(i, 76);
    }
    return strOut;
}

Bytes Base64Bytes(const std::string& strText)
{
    BYTE* pb = nullptr;
    DWORD cb = 0;
    if (strText.empty() || FAILED(Base64DecodeEx((int)strText.size(), &pb, strText.c_str(), &cb)))
    {
        return {};
    }
    Bytes out(pb, pb + cb);
    delete[] pb;
    return out;
}

std::map<std::string, Bytes> DocumentRootBlobs(const std::string& strDocument)
{
    std::map<std::string, Bytes> mapBlobs;
    for (size_t i = 0;; ++i)
    {
        size_t nEntry = FindNth(strDocument, "<EntryPoint>", i);
        size_t nContent = FindNth(strDocument, "<Content>", i);
        if (nEntry == std::string::npos || nContent == std::string::npos)
        {
            return mapBlobs;
        }
        nEntry += 12;
        nContent += 9;
        std::string strThumb = strDocument.substr(nEntry, strDocument.find('<', nEntry) - nEntry);
        mapBlobs[strThumb] = Base64Bytes(strDocument.substr(nContent, strDocument.find('<', nContent) - nContent));
    }
}

std::string ReplaceElementText(const std::string& strDocument, const std::string& strElement, size_t nIndex,
                               const std::string& strText)
{
    size_t nOpen = FindNth(strDocument, "<" + strElement + ">", nIndex);
    if (nOpen == std::string::npos)
    {
        throw std::runtime_error("no element " + strElement);
    }
    nOpen += strElement.size() + 2;
    size_t nClose = strDocument.find("</" + strElement + ">", nOpen);
    return strDocument.substr(0, nOpen) + strText + strDocument.substr(nClose);
}

std::string RemoveElement(const std::string& strDocument, const std::string& strElement, size_t nIndex)
{
    size_t nOpen = FindNth(strDocument, "<" + strElement, nIndex);
    if (nOpen == std::string::npos)
    {
        throw std::runtime_error("no element " + strElement);
    }
    std::string strClose = "</" + strElement + ">";
    size_t nClose = strDocument.find(strClose, nOpen) + strClose.size();
    return strDocument.substr(0, nOpen) + strDocument.substr(nClose);
}

std::string RenameElement(const std::string& strDocument, const std::string& strFrom, const std::string& strTo)
{
    std::string strOut = strDocument;
    for (const auto& [from, to] : {std::pair{"<" + strFrom + ">", "<" + strTo + ">"},
                                   std::pair{"</" + strFrom + ">", "</" + strTo + ">"}})
    {
        for (size_t nPos = 0; (nPos = strOut.find(from, nPos)) != std::string::npos; nPos += to.size())
        {
            strOut.replace(nPos, from.size(), to);
        }
    }
    return strOut;
}

Bytes BlobRecord(DWORD dwId, const Bytes& data)
{
    Bytes out;
    for (DWORD dw : {dwId, (DWORD)1, (DWORD)data.size()})
    {
        for (int i = 0; i < 4; ++i)
        {
            out.push_back((BYTE)(dw >> (8 * i)));
        }
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes BlobCertificate(const Bytes& blob)
{
    for (size_t i = 0; i + 12 <= blob.size();)
    {
        DWORD dwId = Read32(blob, i);
        DWORD cb = Read32(blob, i + 8);
        if (dwId == 32)
        {
            return Bytes(blob.begin() + (long)i + 12, blob.begin() + (long)(i + 12 + cb));
        }
        i += 12 + cb;
    }
    return {};
}
