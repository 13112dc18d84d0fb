#pragma once

// Whole-file reads and writes for tests that look at the bytes a file holds, and a current
// folder of the test's own for names without a folder.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testfiles {

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Makes `folder` the current one for the object's lifetime.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder() { std::filesystem::current_path(previous_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

  private:
    std::filesystem::path previous_;
};

}  // namespace testfiles
