// The standard global interface table: one per process, created through CoCreateInstance.
#pragma once

#include "objbase.h"

namespace qm::com
{
// The class object of CLSID_StdGlobalInterfaceTable, or false for any other class.
bool BuiltinClassObject(REFCLSID clsid, REFIID riid, void** ppv, HRESULT* hr);
} // namespace qm::com
