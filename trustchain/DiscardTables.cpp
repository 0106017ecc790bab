#include "DiscardTables.h"

#include "data/DiscardTables.inc"

const DISCARD_CERT_ROW g_rgRSADiscardCerts[] = {DISCARD_ROWS_RSA};
const DWORD g_cRSADiscardCerts = sizeof(g_rgRSADiscardCerts) / sizeof(g_rgRSADiscardCerts[0]);

const DISCARD_CERT_ROW g_rgSM2DiscardCerts[] = {DISCARD_ROWS_SM2};
const DWORD g_cSM2DiscardCerts = sizeof(g_rgSM2DiscardCerts) / sizeof(g_rgSM2DiscardCerts[0]);
