#pragma once
// The registry seam over the prefix's system.reg. Every call reads the file afresh,
// so changes by another process (the panel simulator registering its port) are
// seen at once. A write takes a lock shared by every process on the prefix,
// re-reads the file, changes the lines it concerns and replaces the file
// atomically. A file that does not parse is read as empty and never written.

#include <optional>
#include <string>

#include "downloader/platform/reg_document.h"
#include "downloader/platform/registry.h"

namespace dravik {

class FileRegistry final : public Registry {
 public:
  // prefix: the folder that holds (or will hold) system.reg; created on the first write.
  explicit FileRegistry(std::string prefix) : prefix_(std::move(prefix)) {}

  bool KeyExists(std::string_view key) override;
  std::optional<RegValue> EnumValue(std::string_view key, uint32_t index) override;
  std::optional<RegValue> QueryValue(std::string_view key, std::string_view name) override;
  bool SetValue(std::string_view key, const RegValue& value) override;
  bool DeleteValue(std::string_view key, std::string_view name) override;

 private:
  // The document to read: empty when the file is missing, unreadable or corrupt.
  RegDocument Load() const;
  // Applies change (returning whether it changed anything) under the lock; false
  // when the file cannot be read or parsed or the new file cannot be written.
  template <typename Change>
  bool Modify(Change change);

  std::string prefix_;
};

}  // namespace dravik
