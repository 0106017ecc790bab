// Whether the token middleware's service is running.
#pragma once

// 1 when the token service's single-instance mutex exists; 0 otherwise (logged).
int CheckDovraRunning();
