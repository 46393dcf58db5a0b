#pragma once
// A profile in memory for tests that logs every key read ("profile Section/Key").

#include <map>
#include <string>
#include <vector>

#include "downloader/platform/profile.h"

namespace dravik {

class RecordingProfile final : public Profile {
 public:
  explicit RecordingProfile(std::vector<std::string>* sharedLog = nullptr)
      : log_(sharedLog != nullptr ? *sharedLog : ownLog_) {}

  void Put(const std::string& section, const std::string& key, const std::string& value) {
    values_[section + "/" + key] = value;
  }
  const std::vector<std::string>& log() const { return log_; }

  uint32_t GetInt(std::string_view section, std::string_view key, uint32_t def) override {
    const auto* value = Find(section, key);
    return value != nullptr ? static_cast<uint32_t>(std::stoul(*value)) : def;
  }
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view def) override {
    const auto* value = Find(section, key);
    return value != nullptr ? *value : std::string(def);
  }

 private:
  const std::string* Find(std::string_view section, std::string_view key) {
    const std::string name = std::string(section) + "/" + std::string(key);
    log_.push_back("profile " + name);
    const auto it = values_.find(name);
    return it == values_.end() ? nullptr : &it->second;
  }

  std::map<std::string, std::string> values_;
  std::vector<std::string> ownLog_;
  std::vector<std::string>& log_;
};

}  // namespace dravik
