// Hostile chain documents on an elevated temporary machine with COM. The first byte picks
// where the rest goes: the whole document, the first root's Blob, the bundle, or the
// children of the first Certificate element of a real document. The import may fail in any
// way but must not crash, leak or read out of bounds.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>

#include <qm/fuzz_harness.h>

#include "Base64Encoding.h"
#include "CertificateChainOperate.h"

namespace
{
std::string g_strTemplate;
bool Prepare()
{
    std::ifstream in(std::string(QM_TRUSTCHAIN_DATA) + "/rsa-test.xml", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    g_strTemplate = text.str();
    // One root is enough to reach every path; fewer registry writes keep the runs fast.
    for (int i = 0; i < 2; ++i)
    {
        size_t nSecond = g_strTemplate.find("<Certificate ", g_strTemplate.find("</Certificate>"));
        size_t nEnd = g_strTemplate.find("</Certificate>", nSecond);
        if (nSecond == std::string::npos || nEnd == std::string::npos)
        {
            return false;
        }
        g_strTemplate.erase(nSecond, nEnd + 14 - nSecond);
    }
    if (g_strTemplate.empty())
    {
        return false;
    }
    // Imports write the registry: a scratch machine on tmpfs.
    const std::string strMachine = qm::fuzz::UseScratchMachine("qm-trust-fuzz").string();
    // The DOM server and the certificate stores' keys, as qmctl init makes them.
    const std::string strInit = std::string("'") + QMCTL_PATH + "' --machine '" + strMachine + "' init >/dev/null";
    if (std::system(strInit.c_str()) != 0)
    {
        return false;
    }
    qm::SetProcessElevated(true);
    return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

std::string Base64(const uint8_t* pb, size_t cb)
{
    LPSTR pszText = nullptr;
    DWORD cchText = 0;
    if (cb == 0 || FAILED(Base64EncodeWithFlags(0, &pszText, pb, (DWORD)cb, &cchText)))
    {
        return "";
    }
    std::string str(pszText, cchText);
    delete[] pszText;
    return str;
}

// The template with the text between the first open tag and its close tag replaced.
std::string Replace(const std::string& strOpen, const std::string& strClose, const std::string& strText)
{
    size_t nOpen = g_strTemplate.find(strOpen) + strOpen.size();
    size_t nClose = g_strTemplate.find(strClose, nOpen);
    return g_strTemplate.substr(0, nOpen) + strText + g_strTemplate.substr(nClose);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t cbData)
{
    static const bool bReady = Prepare();
    if (!bReady)
    {
        abort();
    }
    if (cbData == 0)
    {
        return 0;
    }
    const uint8_t* pbRest = pbData + 1;
    const size_t cbRest = cbData - 1;
    std::string strDocument;
    switch (pbData[0] % 4)
    {
    case 0:
        strDocument.assign(reinterpret_cast<const char*>(pbRest), cbRest);
        break;
    case 1:
        // The root paths only: the template's bundle would be re-added every run.
        strDocument = Replace("<Content>", "</Content>", Base64(pbRest, cbRest));
        strDocument = strDocument.substr(0, strDocument.find("<P7bContent>")) + "</root>";
        break;
    case 2:
        strDocument = Replace("<P7bContent>", "</P7bContent>", Base64(pbRest, cbRest));
        break;
    default:
        strDocument = Replace("\">", "</Certificate>", std::string(reinterpret_cast<const char*>(pbRest), cbRest));
        strDocument = strDocument.substr(0, strDocument.find("<P7bContent>")) + "</root>";
        break;
    }
    ImportCertificateChainfromBlobData(reinterpret_cast<const BYTE*>(strDocument.data()), (DWORD)strDocument.size());
    return 0;
}
