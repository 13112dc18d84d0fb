#pragma once

// What the fuzz targets share: a property check that stops the run with the input kept, the
// input as text, and a scratch folder for the files the code under test reads and writes.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace fuzz {

// A broken property ends the run like a crash, so that libFuzzer keeps the input.
[[noreturn]] inline void Broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "property broken at %s:%d: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::fuzz::Broken(#condition, __FILE__, __LINE__))

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits off what comes before the first `separator` (all of it when there is none).
inline std::string_view TakeUntil(std::string_view& rest, char separator) {
    const auto at = rest.find(separator);
    const std::string_view head = rest.substr(0, at);
    rest.remove_prefix(at == std::string_view::npos ? rest.size() : at + 1);
    return head;
}

// A folder of this process's own, removed when the run ends normally: inside
// TORVANE_FUZZ_SCRATCH when that is set (run.sh sets it, and removes what a crash leaves),
// else on a memory file system where there is one, as the code under test syncs what it
// writes. Never destroyed itself, so that the removal at exit can still name it.
inline const std::string& ScratchFolder() {
    static const std::string* const folder = [] {
        namespace fs = std::filesystem;
        const char* given = std::getenv("TORVANE_FUZZ_SCRATCH");
        const fs::path base = given != nullptr && *given != '\0' ? fs::path(given)
                              : fs::is_directory("/dev/shm")     ? fs::path("/dev/shm")
                                                                 : fs::temp_directory_path();
        const fs::path path = base / ("torvane-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(*folder, ignored);
        });
        return new std::string(path.string());
    }();
    return *folder;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace fuzz
