#include "TestSigner.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/wait.h>

namespace signing_test
{
CTempDir::CTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qmsign-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
    {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

int RunCommand(const std::string& command, const std::string& outputFile)
{
    std::string line = command + (outputFile.empty() ? " >/dev/null" : " >'" + outputFile + "'") + " 2>&1";
    int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), (std::streamsize)data.size());
}

Bytes TextBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

CTestSigner::CTestSigner(const CTempDir& dir, KeyKind kind, const std::string& serialHex, const std::string& subject)
{
    std::string tag = kind == KeyKind::Sm2 ? "sm2" : "rsa";
    m_keyPath = dir.File(tag + "-" + serialHex + ".key");
    m_certPath = dir.File(tag + "-" + serialHex + ".cer");
    std::string cmd;
    if (kind == KeyKind::Sm2)
    {
        if (RunCommand("openssl genpkey -algorithm SM2 -out '" + m_keyPath + "'") != 0)
        {
            throw std::runtime_error("SM2 key generation failed");
        }
        cmd = "openssl req -x509 -new -key '" + m_keyPath + "' -sm3 -sigopt distid:1234567812345678";
    }
    else
    {
        cmd = "openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + m_keyPath + "' -sha256";
    }
    cmd += " -subj '" + subject + "' -set_serial 0x" + serialHex +
           " -days 30 -addext keyUsage=critical,digitalSignature -outform DER -out '" + m_certPath + "'";
    if (RunCommand(cmd) != 0)
    {
        throw std::runtime_error("certificate generation failed: " + cmd);
    }
    m_certDer = ReadFileBytes(m_certPath);
    if (!ossl::ReadCertificate(m_certDer, m_facts))
    {
        throw std::runtime_error("cannot read the test certificate back");
    }
    m_serialLittleEndian.assign(m_facts.serialContent.rbegin(), m_facts.serialContent.rend());

    m_info.dwVersion = CERT_V3;
    m_info.SerialNumber = {(DWORD)m_serialLittleEndian.size(), m_serialLittleEndian.data()};
    m_info.Issuer = {(DWORD)m_facts.issuerDer.size(), m_facts.issuerDer.data()};
    m_context.dwCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
    m_context.pbCertEncoded = m_certDer.data();
    m_context.cbCertEncoded = (DWORD)m_certDer.size();
    m_context.pCertInfo = &m_info;
}

bool ParseTlv(const BYTE* p, const BYTE* end, Tlv& tlv)
{
    if (!p || end - p < 2)
    {
        return false;
    }
    tlv.tag = p[0];
    tlv.start = p;
    size_t cbHeader = 2;
    size_t cbValue = p[1];
    if (p[1] & 0x80)
    {
        size_t cbLength = p[1] & 0x7F;
        if (cbLength == 0 || cbLength > 4 || (size_t)(end - p) < 2 + cbLength || p[2] == 0)
        {
            return false;
        }
        cbValue = 0;
        for (size_t i = 0; i < cbLength; ++i)
        {
            cbValue = (cbValue << 8) | p[2 + i];
        }
        if (cbValue < 0x80)
        {
            return false; // not the minimal form
        }
        cbHeader += cbLength;
    }
    if ((size_t)(end - p) - cbHeader < cbValue)
    {
        return false;
    }
    tlv.headerLength = cbHeader;
    tlv.valueLength = cbValue;
    return true;
}

std::vector<Tlv> Children(const Tlv& parent)
{
    std::vector<Tlv> children;
    const BYTE* p = parent.Value();
    const BYTE* end = p + parent.valueLength;
    while (p < end)
    {
        Tlv child;
        if (!ParseTlv(p, end, child))
        {
            return {};
        }
        children.push_back(child);
        p += child.TotalLength();
    }
    return children;
}

bool SignedMessage::Parse(const Bytes& bytes)
{
    der = bytes;
    if (!ParseTlv(der.data(), der.data() + der.size(), contentInfo) || contentInfo.TotalLength() != der.size())
    {
        return false;
    }
    outer = Children(contentInfo);
    if (outer.size() != 2 || outer[1].tag != 0xA0)
    {
        return false;
    }
    std::vector<Tlv> explicitPart = Children(outer[1]);
    if (explicitPart.size() != 1 || explicitPart[0].tag != 0x30)
    {
        return false;
    }
    signedData = Children(explicitPart[0]);
    if (signedData.size() != 5 || signedData[4].tag != 0x31)
    {
        return false;
    }
    std::vector<Tlv> signerInfos = Children(signedData[4]);
    if (signerInfos.size() != 1)
    {
        return false;
    }
    signerInfo = Children(signerInfos[0]);
    return signerInfo.size() == 5;
}

bool SignedMessage::ParseBase64(const std::u16string& text)
{
    return Parse(ossl::DecodeBase64(std::string(text.begin(), text.end())));
}
} // namespace signing_test
