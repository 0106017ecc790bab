// The calling thread's COM state, for the activation functions.
#pragma once

namespace qm::com
{
bool IsThreadInitialised();
} // namespace qm::com
