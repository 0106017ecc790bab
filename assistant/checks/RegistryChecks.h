// Checks over runs of the registry table and the certificate-store keys.
#pragma once

#include "CheckTables.h"

// 1 when every row passes (or the first row's root is 0); 0 at the first failing row.
int CheckRegistryRows(RegCheckRow* first, int count);
// 1 when every certificate key of the table opens; 0 at the first that does not.
int CheckRootCerts();
int CheckRootCertRows(const RootCertKey* rows, int count);
