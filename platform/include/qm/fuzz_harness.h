// What the fuzz harnesses share: a scratch machine for the process and a reader of the
// fuzzer's bytes.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "qm/machine.h"

namespace qm::fuzz
{
inline std::filesystem::path& ScratchMachinePath()
{
    static std::filesystem::path path;
    return path;
}

// A fresh machine named after the harness and the process, on tmpfs where there is one (the
// registry's commits then cost no disk flush), removed when the process exits.
inline const std::filesystem::path& UseScratchMachine(const char* name)
{
    namespace fs = std::filesystem;
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path& machine = ScratchMachinePath();
    machine = base / (std::string(name) + "-" + std::to_string(::getpid()));
    fs::remove_all(machine);
    qm::SetMachineDirectory(machine);
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(ScratchMachinePath(), ec);
    });
    return machine;
}

// Reads the input front to back; past its end every read gives 0.
class Input
{
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    template <class T>
    T Value()
    {
        T v{};
        size_t n = std::min(sizeof v, m_size - m_pos);
        if (n)
            std::memcpy(&v, m_data + m_pos, n);
        m_pos += n;
        return v;
    }
    std::vector<char> Bytes(size_t n)
    {
        n = std::min(n, m_size - m_pos);
        std::vector<char> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }
    // A byte's worth of UTF-16 units at most, as many as the input still holds.
    std::u16string Text()
    {
        size_t n = std::min<size_t>(Byte(), (m_size - m_pos) / 2);
        std::u16string out(n, u'\0');
        if (n)
            std::memcpy(out.data(), m_data + m_pos, n * 2);
        m_pos += n * 2;
        return out;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
} // namespace qm::fuzz
