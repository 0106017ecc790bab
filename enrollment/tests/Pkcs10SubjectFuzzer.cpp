// The subject text of a certificate request, as the page hands it over: "name=value,...".
// Whatever the text, a composed Name is one complete DER Name that OpenSSL reads back with
// one entry per pair, and a refused text hands nothing out.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <openssl/x509.h>

#include "Pkcs10Compose.h"

// wincrypt's structure-type constant, not OpenSSL's type.
#undef X509_NAME

namespace
{
void Compose(const std::u16string& wstrSubject)
{
    std::vector<SUBJECT_PAIR> vtrPairs;
    const bool bParsed = SUCCEEDED(ParseSubject(wstrSubject.c_str(), vtrPairs));
    BYTE* pbName = nullptr;
    DWORD cbName = 0;
    HRESULT hResult = ComposeSubject(wstrSubject.c_str(), &pbName, &cbName);
    if (FAILED(hResult))
    {
        if (pbName)
            abort();
        return;
    }
    if (!bParsed || !pbName || !cbName)
        abort();
    const unsigned char* pb = pbName;
    X509_NAME* pName = d2i_X509_NAME(nullptr, &pb, (long)cbName);
    if (!pName || pb != pbName + cbName || X509_NAME_entry_count(pName) != (int)vtrPairs.size())
        abort();
    X509_NAME_free(pName);
    delete[] pbName;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The text as the page's UTF-8 would give it (one unit a byte reaches every ASCII case),
    // and as UTF-16 units, which reach the surrogates and the wide characters.
    Compose(std::u16string(data, data + size));
    std::u16string wide(size / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    Compose(wide);
    return 0;
}
