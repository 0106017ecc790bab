#include "live_objects.h"

namespace qm::msxml
{
std::atomic<long> g_liveObjects{0};
} // namespace qm::msxml
