// Decoders over arbitrary input: Base64, hex, UTF-8 and UTF-16, DER length and SM2 encoding.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "Base64Encoding.h"
#include "DerEncoding.h"
#include "HexEncoding.h"
#include "PluginForms.h"
#include "TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);

    BYTE* pb = nullptr;
    DWORD cb = 0;
    if (SUCCEEDED(Base64DecodeEx((int)size, &pb, text.data(), &cb)))
    {
        if (cb > size)
        {
            __builtin_trap();
        }
        LPSTR psz = nullptr;
        DWORD cch = 0;
        if (SUCCEEDED(EnrollmentForm::Base64EncodeEx(cb, &psz, pb, &cch)) && psz)
        {
            BYTE* pbAgain = nullptr;
            DWORD cbAgain = 0;
            if (cch && SUCCEEDED(Base64DecodeEx((int)cch, &pbAgain, psz, &cbAgain)) &&
                (cbAgain != cb || memcmp(pbAgain, pb, cb) != 0))
            {
                __builtin_trap();
            }
            delete[] pbAgain;
        }
        delete[] psz;
        delete[] pb;
    }

    LPWSTR pwsz = nullptr;
    DWORD cchWide = 0;
    if (SUCCEEDED(UTF8ToUTF16(text.c_str(), &pwsz, &cchWide)))
    {
        BYTE* pbHex = nullptr;
        DWORD cbHex = 0;
        if (SUCCEEDED(ConvertStringToBinaryData(&cbHex, pwsz, &pbHex)))
        {
            LPWSTR pwszHex = nullptr;
            if (SUCCEEDED(EnrollmentForm::ConvertBinaryDataToString(&pwszHex, cbHex, pbHex)))
            {
                delete[] pwszHex;
            }
            delete[] pbHex;
        }
        std::list<std::u16string> lst;
        SplitStrings(pwsz, lst);
    }
    delete[] pwsz;

    std::u16string wide(size / 2, u'\0');
    memcpy(wide.data(), data, wide.size() * 2);
    LPSTR pszUtf8 = nullptr;
    DWORD cbUtf8 = 0;
    if (SUCCEEDED(UTF16ToUTF8(wide.c_str(), &pszUtf8, &cbUtf8)))
    {
        delete[] pszUtf8;
    }
    else
    {
        delete[] pszUtf8;
    }

    if (size >= 64)
    {
        BYTE* pbDer = nullptr;
        DWORD cbDer = 0;
        if (SUCCEEDED(SigningForm::SM2EncodeRawSignature(&pbDer, &cbDer, data, 64)))
        {
            delete[] pbDer;
        }
    }
    return 0;
}
