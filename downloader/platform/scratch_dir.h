#pragma once
// A temporary folder for tests of the file backends, removed with everything in it
// when the object goes.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace dravik {

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dravik-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

  // Writes content to name (creating folders on the way) and returns the full path.
  std::string Write(std::string_view name, std::string_view content) const {
    const std::string full = File(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full;
  }
  std::string Read(std::string_view name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return std::move(content).str();
  }

 private:
  std::string path_;
};

}  // namespace dravik
