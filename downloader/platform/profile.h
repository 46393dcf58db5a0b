#pragma once
// The profile seam: the two private-profile reads the program makes, on the one
// profile file the application installed. The real backend reads an INI file; a
// test may record which keys were read.

#include <cstdint>
#include <string>
#include <string_view>

namespace dravik {

class Profile {
 public:
  virtual ~Profile() = default;
  // GetPrivateProfileInt: the key's integer value (negative values in two's
  // complement), or def when the file, section or key is missing or not a number.
  virtual uint32_t GetInt(std::string_view section, std::string_view key, uint32_t def) = 0;
  // GetPrivateProfileString: the key's text, or def when the file, section or key
  // is missing. A key present with an empty value gives the empty text.
  virtual std::string GetString(std::string_view section, std::string_view key,
                                std::string_view def) = 0;
};

}  // namespace dravik
