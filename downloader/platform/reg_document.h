#pragma once
// A registry-export file held line by line, so that a change rewrites only the
// lines it concerns and every other byte of the file stays as it was. Only keys
// under HKEY_LOCAL_MACHINE are visible to the program; sections of other hives,
// comments and blank lines are kept and never read.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/platform/registry.h"

namespace dravik {

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";

struct RegLine {
  enum Kind { Other, Section, Value };
  Kind kind = Other;
  std::string raw;          // the exact text, continuation lines and line endings included
  bool machineKey = false;  // Section: a key under HKEY_LOCAL_MACHINE
  std::string key;          // Section: its path below HKEY_LOCAL_MACHINE
  RegValue value;           // Value: what the line holds
};

struct RegDocument {
  std::vector<RegLine> lines;
  std::string newline = "\n";  // the file's own line ending, for lines we add
};

// nullopt when the text is not a registry-export file: a first line other than the
// header, a value before any section, or a line that is neither a section, a value,
// a comment (';') nor blank. Empty text is an empty document.
std::optional<RegDocument> ParseRegDocument(std::string_view text);
std::string SerializeRegDocument(const RegDocument& doc);

// Key paths are backslash-separated below HKEY_LOCAL_MACHINE, matched without regard
// to case; a key exists when it or a key below it has a section.
bool RegKeyExists(const RegDocument& doc, std::string_view key);
// The key's values in file order; a name that appears again in the key is skipped.
std::vector<RegValue> RegValuesOf(const RegDocument& doc, std::string_view key);
// Replaces the value in place (keeping the stored spelling of its name), or adds it
// after the key's last value, or adds the key at the end of the file.
void SetRegValue(RegDocument& doc, std::string_view key, const RegValue& value);
// Removes the value; false when it was not there.
bool DeleteRegValue(RegDocument& doc, std::string_view key, std::string_view name);

}  // namespace dravik
