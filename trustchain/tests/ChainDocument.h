// Text surgery on the committed chain documents, for the hostile-document cases.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <windows.h>

typedef std::vector<BYTE> Bytes;

// Base64 in lines of 76 characters, as the documents carry it.
std::string Base64Lines(const Bytes& data);
Bytes Base64Bytes(const std::string& strText);

// The Blob of each root, by the thumbprint in its EntryPoint, read from the text.
std::map<std::string, Bytes> DocumentRootBlobs(const std::string& strDocument);

// Replaces the text between the n-th open and close tag of the element.
std::string ReplaceElementText(const std::string& strDocument, const std::string& strElement, size_t nIndex,
                               const std::string& strText);
// Removes the n-th element of the name with its content.
std::string RemoveElement(const std::string& strDocument, const std::string& strElement, size_t nIndex);
// Renames every element of the name.
std::string RenameElement(const std::string& strDocument, const std::string& strFrom, const std::string& strTo);

// Property records (id, reserved 1, length, data).
Bytes BlobRecord(DWORD dwId, const Bytes& data);
// The DER in record 32 of a Blob.
Bytes BlobCertificate(const Bytes& blob);

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
