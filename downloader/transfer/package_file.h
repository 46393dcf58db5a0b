#pragma once
// A file held open for reading only, as the package is from its check until the
// download ends. Operating-system errors stop here: callers see only which step
// failed.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dravik {

enum class FileOpenError {
  None,
  NotFound,    // nothing of that name can be found (CFile::GetStatus fails)
  CannotOpen,  // it exists but cannot be opened for reading, or is not a regular file
};

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ~ReadOnlyFile();

  // Closes any file held, then opens path read-only. Only regular files are
  // accepted: a directory or a pipe of that name would read as nothing or block.
  FileOpenError Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // The size the file had when it was opened.
  uint64_t Size() const { return size_; }

  // Reads exactly count bytes at offset; false on an error or the end of the file.
  bool ReadAt(uint64_t offset, void* destination, size_t count) const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace dravik
