// One row of the selection dialog: the texts shown for a certificate.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

struct CertificateDisplayEntry
{
    PCCERT_CONTEXT pCertContext = nullptr; // borrowed from the dialog's certificate list
    std::u16string strSubjectCN;
    std::u16string strIssuer;
    std::u16string strSerial;
    std::u16string strValidity;
    INT nKeyFlag = 0; // 1: the private key is on a hardware or removable key
};

typedef std::vector<CertificateDisplayEntry> CertificateDisplayEntries;
