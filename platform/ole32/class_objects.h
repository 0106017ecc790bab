// The class objects registered with CoRegisterClassObject, for activation.
#pragma once

#include "objbase.h"

namespace qm::com
{
// True when a class object for the class is registered for one of the contexts; *hr is
// then its QueryInterface's result.
bool RegisteredClassObject(REFCLSID clsid, DWORD context, REFIID riid, void** ppv, HRESULT* hr);
} // namespace qm::com
