#pragma once
// Reading INI files as the Win32 private-profile functions do for well-formed
// files. The rules for everything else are ours and are listed in ini_reader.cpp.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "downloader/platform/profile.h"

namespace dravik {

// The raw text of key in section of an INI text, or nullopt when the section or
// key is not there. Names are matched without regard to case; the first match in
// file order wins.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// A decimal integer with an optional sign, as a 32-bit value (negative numbers in
// two's complement); nullopt for anything else.
std::optional<uint32_t> ParseIniInteger(std::string_view value);

// The private-profile calls on a file path. A missing or unreadable file gives def.
uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key, uint32_t def,
                              const std::string& path);
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& path);

// The profile seam over one INI file. The file is read afresh on every call, as
// the Win32 calls do, so a change takes effect at the next read.
class IniFileProfile final : public Profile {
 public:
  explicit IniFileProfile(std::string path) : path_(std::move(path)) {}
  uint32_t GetInt(std::string_view section, std::string_view key, uint32_t def) override;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view def) override;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace dravik
