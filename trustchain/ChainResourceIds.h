// Resource ids of the certificate-chain documents (type "CERTIFICATE", language 1033).
#pragma once

// Enrollment plug-in.
#define IDR_RSA_CERTIFICATE_CHAIN 208
#define IDR_SM2_CERTIFICATE_CHAIN 209
#define IDR_TEST_RSA_CERTIFICATE_CHAIN 210
#define IDR_TEST_SM2_CERTIFICATE_CHAIN 211

// Signing plug-in: the same RSA documents under its own ids.
#define IDR_RSA_OPERATION_CERTIFICATE_CHAIN 104
#define IDR_RSA_TEST_CERTIFICATE_CHAIN 105
