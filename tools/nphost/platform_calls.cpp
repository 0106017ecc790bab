#include "platform_calls.h"

#include "objbase.h"
#include "winver.h"

namespace nphost
{
bool ReadVersionResource(const char16_t* file, std::vector<uint8_t>& block)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &handle);
    if (size == 0)
        return false;
    block.assign(size, 0);
    return GetFileVersionInfoW(file, handle, size, block.data()) != FALSE;
}

std::optional<std::vector<uint8_t>> QueryVersionValue(const std::vector<uint8_t>& block,
                                                      const std::u16string& subBlock)
{
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), subBlock.c_str(), &value, &length) || value == nullptr)
        return std::nullopt;
    // Text values count characters, binary values bytes.
    const bool isText = subBlock.rfind(u"\\StringFileInfo\\", 0) == 0;
    const size_t bytes = isText ? size_t(length) * sizeof(WCHAR) : length;
    const auto* data = static_cast<const uint8_t*>(value);
    return std::vector<uint8_t>(data, data + bytes);
}

int32_t InitializeCom()
{
    return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

void UninitializeCom()
{
    CoUninitialize();
}
} // namespace nphost
