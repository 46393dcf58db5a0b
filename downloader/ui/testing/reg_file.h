#pragma once
// Builds the text of a prefix's system.reg for tests: keys with their values in
// the registry-export format.

#include <string>
#include <string_view>

namespace dravik {

class RegFile {
 public:
  RegFile() : text_("Windows Registry Editor Version 5.00\n") {}

  RegFile& Key(std::string_view path) {
    text_ += "\n[HKEY_LOCAL_MACHINE\\" + Escaped(path, false) + "]\n";
    return *this;
  }
  // "name"="text"; an empty name is the key's default value (@).
  RegFile& Text(std::string_view name, std::string_view text) {
    text_ += Name(name) + "=\"" + Escaped(text, true) + "\"\n";
    return *this;
  }
  RegFile& Dword(std::string_view name, uint32_t value) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", value);
    text_ += Name(name) + "=dword:" + hex + "\n";
    return *this;
  }
  // A line as it stands, for values of other types.
  RegFile& Line(std::string_view line) {
    text_ += std::string(line) + "\n";
    return *this;
  }
  const std::string& text() const { return text_; }

 private:
  static std::string Escaped(std::string_view text, bool quoted) {
    std::string out;
    for (const char c : text) {
      if (quoted && (c == '\\' || c == '"')) out.push_back('\\');
      out.push_back(c);
    }
    return out;
  }
  static std::string Name(std::string_view name) {
    return name.empty() ? "@" : "\"" + Escaped(name, true) + "\"";
  }

  std::string text_;
};

}  // namespace dravik
