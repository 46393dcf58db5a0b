#pragma once
// A registry in memory for tests, with a log of every key that was read or written,
// so a test sees which keys a piece of logic looked at, and in which order.

#include <map>
#include <string>
#include <vector>

#include "downloader/platform/ascii.h"
#include "downloader/platform/registry.h"

namespace dravik {

class MemoryRegistry final : public Registry {
 public:
  explicit MemoryRegistry(std::vector<std::string>* sharedLog = nullptr)
      : log_(sharedLog != nullptr ? *sharedLog : ownLog_) {}

  // Puts a value without logging (the test's set-up).
  void Put(std::string_view key, RegValue value) { Store(key, std::move(value)); }
  // Refuses every later write, as a key without write access does.
  void RefuseWrites() { refuseWrites_ = true; }
  const std::vector<std::string>& log() const { return log_; }

  bool KeyExists(std::string_view key) override {
    log_.push_back("open " + std::string(key));
    return FindKey(key) != nullptr;
  }
  std::optional<RegValue> EnumValue(std::string_view key, uint32_t index) override {
    const auto* values = FindKey(key);
    if (values == nullptr || index >= values->size()) return std::nullopt;
    return (*values)[index];
  }
  std::optional<RegValue> QueryValue(std::string_view key, std::string_view name) override {
    log_.push_back("query " + std::string(key) + " " + std::string(name));
    const auto* values = FindKey(key);
    if (values == nullptr) return std::nullopt;
    for (const auto& value : *values) {
      if (EqualsIgnoreCase(value.name, name)) return value;
    }
    return std::nullopt;
  }
  bool SetValue(std::string_view key, const RegValue& value) override {
    log_.push_back("set " + std::string(key) + " " + value.name);
    if (refuseWrites_) return false;
    Store(key, value);
    return true;
  }

 private:
  // Keys are matched without regard to case.
  std::vector<RegValue>* FindKey(std::string_view key) {
    for (auto& [name, values] : keys_) {
      if (EqualsIgnoreCase(name, key)) return &values;
    }
    return nullptr;
  }
  void Store(std::string_view key, RegValue value) {
    std::vector<RegValue>* values = FindKey(key);
    if (values == nullptr) values = &keys_[std::string(key)];
    for (auto& existing : *values) {
      if (EqualsIgnoreCase(existing.name, value.name)) {
        existing = std::move(value);
        return;
      }
    }
    values->push_back(std::move(value));
  }

  std::map<std::string, std::vector<RegValue>> keys_;
  std::vector<std::string> ownLog_;
  std::vector<std::string>& log_;
  bool refuseWrites_ = false;
};

}  // namespace dravik
