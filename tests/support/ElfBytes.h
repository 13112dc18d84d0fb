#pragma once

// Stand-ins for executables: bytes that begin with this test program's own ELF header.

#include <cstdint>
#include <fstream>
#include <string>

namespace testfiles {

// `size` bytes that begin with this program's ELF header; the machine or the type changed
// when asked (both are little-endian halves on the machines we build for).
inline std::string Elf(std::int64_t size, int machine = -1, int type = -1) {
    std::string bytes(64, '\0');
    std::ifstream("/proc/self/exe", std::ios::binary).read(bytes.data(), 64);
    if (machine >= 0) bytes[18] = static_cast<char>(machine);
    if (type >= 0) bytes[16] = static_cast<char>(type);
    bytes.resize(static_cast<std::size_t>(size), 'x');
    return bytes;
}

}  // namespace testfiles
