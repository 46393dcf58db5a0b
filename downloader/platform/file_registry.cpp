#include "downloader/platform/file_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "downloader/platform/ascii.h"
#include "downloader/platform/atomic_file.h"
#include "downloader/platform/prefix.h"

namespace dravik {

namespace {

struct FileText {
  enum Status { Missing, Read, Unreadable } status;
  std::string text;
};

FileText ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {errno == ENOENT ? FileText::Missing : FileText::Unreadable, {}};
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return {FileText::Unreadable, {}};
  return {FileText::Read, std::move(content).str()};
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return 0644;
  return info.st_mode & 07777;
}

// Serialises writers of one prefix across processes; released on destruction.
class PrefixLock {
 public:
  explicit PrefixLock(const std::string& prefix)
      : fd_(open((prefix + "/.system.reg.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~PrefixLock() {
    if (fd_ >= 0) close(fd_);
  }
  PrefixLock(const PrefixLock&) = delete;
  PrefixLock& operator=(const PrefixLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool IsStorableName(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

}  // namespace

RegDocument FileRegistry::Load() const {
  const FileText file = ReadFileText(RegistryFileOf(prefix_));
  if (file.status != FileText::Read) return {};
  return ParseRegDocument(file.text).value_or(RegDocument{});
}

template <typename Change>
bool FileRegistry::Modify(Change change) {
  if (!EnsureFolder(prefix_)) return false;
  const PrefixLock lock(prefix_);
  if (!lock.held()) return false;
  const std::string path = RegistryFileOf(prefix_);
  const FileText file = ReadFileText(path);
  if (file.status == FileText::Unreadable) return false;
  std::optional<RegDocument> doc = ParseRegDocument(file.text);
  if (!doc) return false;  // someone else's file, or damaged: never overwrite it
  if (!change(*doc)) return false;
  const std::string text = SerializeRegDocument(*doc);
  if (file.status == FileText::Read && text == file.text) return true;
  return ReplaceFileAtomically(path, text, ModeOf(path));
}

bool FileRegistry::KeyExists(std::string_view key) {
  return RegKeyExists(Load(), key);
}

std::optional<RegValue> FileRegistry::EnumValue(std::string_view key, uint32_t index) {
  std::vector<RegValue> values = RegValuesOf(Load(), key);
  if (index >= values.size()) return std::nullopt;
  return std::move(values[index]);
}

std::optional<RegValue> FileRegistry::QueryValue(std::string_view key, std::string_view name) {
  for (RegValue& value : RegValuesOf(Load(), key)) {
    if (EqualsIgnoreCase(value.name, name)) return std::move(value);
  }
  return std::nullopt;
}

bool FileRegistry::SetValue(std::string_view key, const RegValue& value) {
  // A line break in a name would split the line and damage the file for everyone.
  if (!IsStorableName(key) || !IsStorableName(value.name)) return false;
  return Modify([&](RegDocument& doc) {
    SetRegValue(doc, key, value);
    return true;
  });
}

bool FileRegistry::DeleteValue(std::string_view key, std::string_view name) {
  return Modify([&](RegDocument& doc) { return DeleteRegValue(doc, key, name); });
}

}  // namespace dravik
