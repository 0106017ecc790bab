// Object identifiers of the SM algorithms. Where the library already knows an identifier its own
// entry is used; the others are added at run time, so their numbers are this process's.
#pragma once

struct SM_OBJECT_IDS
{
    int nidSm2Curve;       // 1.2.156.10197.1.301
    int nidSm2TestCurve;   // 1.2.156.10197.1.888
    int nidSm3;            // 1.2.156.10197.1.401
    int nidSm4Cbc;         // 1.2.156.10197.1.104
    int nidSm2Sm3;         // 1.2.156.10197.1.501
    int nidSm1Cbc;         // 1.2.156.10197.1.102
    int nidZuc;            // 1.2.156.10197.1.105
    int nidSm2Sm3Pkcs7;    // 1.2.156.10197.1.301.1
    int nidSmPkcs7Data;    // 1.2.156.10197.6.1.4.2.1
    int nidSmPkcs7Signed;  // 1.2.156.10197.6.1.4.2.2
};

// Registers the missing objects on first use; entries stay until the process ends.
const SM_OBJECT_IDS &SmObjectIds();
