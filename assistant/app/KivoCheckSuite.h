// The jobs' checks over the assistant's check library.
#pragma once

#include "KivoChecks.h"

#include "KivoLog.h"

// The program's one set of checks.
IKivoChecks& KivoChecks();
// The checks' own log lines go to this log (the application's) from now on.
void RouteCheckLogTo(CKivoLog* pLog);
