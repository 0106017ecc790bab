// PKCS#7 messages with the SM content types: sm-pkcs7-signedData around sm-pkcs7-data.
// The library's PKCS#7 code knows its own two types only, so a message is turned into the stock
// form to be processed (detached control, content, data-init and data-final, verification) and
// back into the SM form to be written.
#pragma once
#include <openssl/pkcs7.h>

// sm-pkcs7-signedData becomes signedData and an inner sm-pkcs7-data becomes data; other messages
// are left as they are. 1 on success, 0 for a malformed SM message (left unchanged).
int SmPkcs7ToStock(PKCS7 *pP7);
// signedData becomes sm-pkcs7-signedData, its inner data sm-pkcs7-data. 1 on success, 0 otherwise.
int SmPkcs7ToSm(PKCS7 *pP7);
