// Writing providers into the provider key, as a provider's installer does (needs an
// elevated process, like every HKLM write).
#pragma once

#include <string>

#include "../windef.h"

namespace qm
{
// HKLM\...\Cryptography\Defaults\Provider\<name>: "Image Path" and "Type". A Win32 error code.
QMEXPORT LONG RegisterCryptProvider(const std::u16string& name, const std::u16string& imagePath,
                                    DWORD type);
QMEXPORT LONG UnregisterCryptProvider(const std::u16string& name);
// Provider Types\Type NNN: "Name" (the default provider of the type) and "TypeName".
QMEXPORT LONG SetDefaultCryptProvider(DWORD type, const std::u16string& name,
                                      const std::u16string& typeName);

// The software providers of the platform (image "rsaenh.dll") and their default types.
QMEXPORT LONG RegisterPlatformCryptProviders(const std::u16string& imagePath = u"rsaenh.dll");
} // namespace qm
