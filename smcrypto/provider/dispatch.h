// Dispatch-table entries from typed functions.
#pragma once
#include <openssl/core.h>

template <typename F>
constexpr OSSL_DISPATCH SmFn(int nId, F *pfn)
{
    return OSSL_DISPATCH{nId, reinterpret_cast<void (*)()>(pfn)};
}
