// Reader of the test-vector files: records of "key = value" lines separated by blank lines.
#pragma once
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct VECTOR_RECORD
{
    std::string strFile;
    std::map<std::string, std::string> mapFields;

    const std::string &Text(const std::string &strKey) const;
    bool Has(const std::string &strKey) const { return mapFields.count(strKey) != 0; }
    std::vector<unsigned char> Bytes(const std::string &strKey) const;  // hex text
    long Number(const std::string &strKey, long nDefault) const;
};

// How test output names a record: its file and name, not its bytes.
void PrintTo(const VECTOR_RECORD &rec, std::ostream *pos);

std::vector<VECTOR_RECORD> LoadVectorFiles(const std::string &strDirectory, const std::string &strExtension);
std::vector<unsigned char> HexToBytes(const std::string &strHex);
std::string BytesToHex(const unsigned char *pb, size_t cb);
