#include "vector_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace
{

std::string Trim(const std::string &str)
{
    size_t nBegin = str.find_first_not_of(" \t\r");
    if (nBegin == std::string::npos)
        return {};
    size_t nEnd = str.find_last_not_of(" \t\r");
    return str.substr(nBegin, nEnd - nBegin + 1);
}

} // namespace

const std::string &VECTOR_RECORD::Text(const std::string &strKey) const
{
    auto it = mapFields.find(strKey);
    if (it == mapFields.end())
        throw std::runtime_error("vector field missing: " + strKey);
    return it->second;
}

std::vector<unsigned char> VECTOR_RECORD::Bytes(const std::string &strKey) const
{
    return HexToBytes(Text(strKey));
}

long VECTOR_RECORD::Number(const std::string &strKey, long nDefault) const
{
    return Has(strKey) ? std::stol(Text(strKey)) : nDefault;
}

std::vector<unsigned char> HexToBytes(const std::string &strHex)
{
    if (strHex.size() % 2)
        throw std::runtime_error("odd hex text: " + strHex);
    std::vector<unsigned char> vb;
    for (size_t i = 0; i < strHex.size(); i += 2)
        vb.push_back(static_cast<unsigned char>(std::stoul(strHex.substr(i, 2), nullptr, 16)));
    return vb;
}

std::string BytesToHex(const unsigned char *pb, size_t cb)
{
    static const char c_szDigits[] = "0123456789abcdef";
    std::string str;
    for (size_t i = 0; i < cb; ++i)
    {
        str += c_szDigits[pb[i] >> 4];
        str += c_szDigits[pb[i] & 15];
    }
    return str;
}

void PrintTo(const VECTOR_RECORD &rec, std::ostream *pos)
{
    auto it = rec.mapFields.find("name");
    *pos << rec.strFile << ": " << (it != rec.mapFields.end() ? it->second : std::string("(unnamed)"));
}

std::vector<VECTOR_RECORD> LoadVectorFiles(const std::string &strDirectory, const std::string &strExtension)
{
    std::vector<std::filesystem::path> vPaths;
    for (const auto &entry : std::filesystem::directory_iterator(strDirectory))
        if (entry.path().extension() == strExtension)
            vPaths.push_back(entry.path());
    std::sort(vPaths.begin(), vPaths.end());

    std::vector<VECTOR_RECORD> vRecords;
    for (const auto &path : vPaths)
    {
        std::ifstream in(path);
        VECTOR_RECORD record{path.filename().string(), {}};
        std::string strLine;
        auto Flush = [&] {
            if (!record.mapFields.empty())
                vRecords.push_back(record);
            record.mapFields.clear();
        };
        while (std::getline(in, strLine))
        {
            strLine = Trim(strLine);
            if (strLine.empty())
            {
                Flush();
                continue;
            }
            if (strLine[0] == '#')
                continue;
            size_t nEq = strLine.find('=');
            if (nEq == std::string::npos)
                throw std::runtime_error("bad vector line: " + strLine);
            record.mapFields[Trim(strLine.substr(0, nEq))] = Trim(strLine.substr(nEq + 1));
        }
        Flush();
    }
    return vRecords;
}
