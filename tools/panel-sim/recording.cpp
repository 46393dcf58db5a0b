#include "tools/panel-sim/recording.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace panelsim {

std::string RecordFileName(int block) {
  return "block-" + std::to_string(block) + (block < kFirstBinaryBlock ? ".srec" : ".bin");
}

std::unique_ptr<FolderRecorder> FolderRecorder::Create(const std::filesystem::path& folder,
                                                       std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (code || !std::filesystem::is_directory(folder)) {
    if (error) *error = "cannot use record folder " + folder.string() + ": " + code.message();
    return nullptr;
  }
  return std::unique_ptr<FolderRecorder>(new FolderRecorder(folder));
}

bool FolderRecorder::TextBlock(int block, const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& record : records) text += record + '\n';
  return WriteFile(block, text);
}

bool FolderRecorder::BinaryBlock(int block, std::span<const uint8_t> data) {
  return WriteFile(block, {reinterpret_cast<const char*>(data.data()), data.size()});
}

void FolderRecorder::NewDownload() {
  std::error_code ignored;
  for (const std::filesystem::path& path : written_) std::filesystem::remove(path, ignored);
  written_.clear();
}

bool FolderRecorder::WriteFile(int block, std::span<const char> bytes) {
  const std::filesystem::path path = folder_ / RecordFileName(block);
  std::filesystem::path partial = path;
  partial += ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::error_code ignored;
      std::filesystem::remove(partial, ignored);
      return false;
    }
  }
  std::error_code code;
  std::filesystem::rename(partial, path, code);
  if (code) return false;
  if (std::find(written_.begin(), written_.end(), path) == written_.end()) written_.push_back(path);
  return true;
}

}  // namespace panelsim
