#include "downloader/platform/reg_document.h"

#include "downloader/platform/ascii.h"
#include "downloader/platform/reg_text.h"

namespace dravik {

namespace {

constexpr std::string_view kMachineHive = "HKEY_LOCAL_MACHINE";

std::string_view WithoutLineEnd(std::string_view raw) {
  while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r')) raw.remove_suffix(1);
  return raw;
}

std::string_view LineEndOf(std::string_view raw) {
  return raw.substr(WithoutLineEnd(raw).size());
}

std::string_view NormalizeKey(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return key;
}

// Splits text into physical lines, each with its line ending.
std::vector<std::string_view> PhysicalLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

// A hex value whose line ends in a backslash goes on in the next line.
bool ContinuesOnNextLine(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.back() != '\\') return false;
  const size_t equals = trimmed.find("=hex");
  return equals != std::string_view::npos && trimmed.find('"', equals) == std::string_view::npos;
}

std::optional<RegLine> ParseSection(std::string_view trimmed) {
  const size_t close = trimmed.rfind(']');
  if (close != trimmed.size() - 1) return std::nullopt;
  RegLine line{RegLine::Section, {}, false, {}, {}};
  const std::string_view path = trimmed.substr(1, close - 1);
  const std::string_view hive = path.substr(0, path.find('\\'));
  if (EqualsIgnoreCase(hive, kMachineHive)) {
    line.machineKey = true;
    line.key = std::string(NormalizeKey(path.substr(hive.size())));
  }
  return line;
}

bool SectionMatches(const RegLine& line, std::string_view key) {
  return line.kind == RegLine::Section && line.machineKey && EqualsIgnoreCase(line.key, key);
}

// Calls visit(index) for every value line in the sections of key, in file order,
// until visit returns true.
template <typename Visit>
void ForEachValueLine(const RegDocument& doc, std::string_view key, Visit visit) {
  bool inKey = false;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    const RegLine& line = doc.lines[i];
    if (line.kind == RegLine::Section) inKey = SectionMatches(line, key);
    if (inKey && line.kind == RegLine::Value && visit(i)) return;
  }
}

std::optional<size_t> FindValueLine(const RegDocument& doc, std::string_view key,
                                    std::string_view name) {
  std::optional<size_t> found;
  ForEachValueLine(doc, key, [&](size_t i) {
    if (!EqualsIgnoreCase(doc.lines[i].value.name, name)) return false;
    found = i;
    return true;
  });
  return found;
}

void EnsureLineEnd(RegDocument& doc, size_t index) {
  std::string& raw = doc.lines[index].raw;
  if (LineEndOf(raw).empty()) raw += doc.newline;
}

RegLine ValueLine(const RegValue& value, std::string_view newline) {
  return {RegLine::Value, FormatRegValue(value) + std::string(newline), false, {}, value};
}

void AppendSection(RegDocument& doc, std::string_view key, const RegValue& value) {
  if (doc.lines.empty()) {
    doc.lines.push_back({RegLine::Other, std::string(kRegFileHeader) + doc.newline, false, {}, {}});
  }
  EnsureLineEnd(doc, doc.lines.size() - 1);
  if (!TrimBlanks(doc.lines.back().raw).empty()) {
    doc.lines.push_back({RegLine::Other, doc.newline, false, {}, {}});
  }
  const std::string raw = "[" + std::string(kMachineHive) + "\\" + std::string(key) + "]";
  doc.lines.push_back({RegLine::Section, raw + doc.newline, true, std::string(key), {}});
  doc.lines.push_back(ValueLine(value, doc.newline));
}

}  // namespace

std::optional<RegDocument> ParseRegDocument(std::string_view text) {
  RegDocument doc;
  const std::vector<std::string_view> physical = PhysicalLines(text);
  if (!physical.empty() && LineEndOf(physical.front()) == "\r\n") doc.newline = "\r\n";
  bool headerSeen = false;
  bool sectionSeen = false;
  for (size_t i = 0; i < physical.size(); ++i) {
    std::string raw(physical[i]);
    std::string joined(WithoutLineEnd(physical[i]));
    while (ContinuesOnNextLine(joined) && i + 1 < physical.size()) {
      raw += physical[++i];
      joined += WithoutLineEnd(physical[i]);
    }
    const std::string_view trimmed = TrimBlanks(joined);
    if (trimmed.empty() || trimmed.front() == ';') {
      doc.lines.push_back({RegLine::Other, std::move(raw), false, {}, {}});
      continue;
    }
    if (!headerSeen) {
      if (trimmed != kRegFileHeader) return std::nullopt;
      headerSeen = true;
      doc.lines.push_back({RegLine::Other, std::move(raw), false, {}, {}});
      continue;
    }
    if (trimmed.front() == '[') {
      std::optional<RegLine> section = ParseSection(trimmed);
      if (!section) return std::nullopt;
      section->raw = std::move(raw);
      doc.lines.push_back(std::move(*section));
      sectionSeen = true;
      continue;
    }
    std::optional<RegValue> value = ParseRegValue(trimmed);
    if (!value || !sectionSeen) return std::nullopt;
    doc.lines.push_back({RegLine::Value, std::move(raw), false, {}, std::move(*value)});
  }
  if (!headerSeen) doc.lines.clear();  // blank lines only: as good as an empty file
  return doc;
}

std::string SerializeRegDocument(const RegDocument& doc) {
  std::string text;
  for (const RegLine& line : doc.lines) text += line.raw;
  return text;
}

bool RegKeyExists(const RegDocument& doc, std::string_view key) {
  key = NormalizeKey(key);
  if (key.empty()) return true;  // the hive itself
  for (const RegLine& line : doc.lines) {
    if (line.kind != RegLine::Section || !line.machineKey) continue;
    const std::string_view path = line.key;
    if (EqualsIgnoreCase(path.substr(0, key.size()), key) &&
        (path.size() == key.size() || path[key.size()] == '\\')) {
      return true;
    }
  }
  return false;
}

std::vector<RegValue> RegValuesOf(const RegDocument& doc, std::string_view key) {
  key = NormalizeKey(key);
  std::vector<RegValue> values;
  ForEachValueLine(doc, key, [&](size_t i) {
    const RegValue& value = doc.lines[i].value;
    for (const RegValue& seen : values) {
      if (EqualsIgnoreCase(seen.name, value.name)) return false;
    }
    values.push_back(value);
    return false;
  });
  return values;
}

void SetRegValue(RegDocument& doc, std::string_view key, const RegValue& value) {
  key = NormalizeKey(key);
  if (const std::optional<size_t> at = FindValueLine(doc, key, value.name)) {
    RegLine& line = doc.lines[*at];
    RegValue stored = value;
    stored.name = line.value.name;
    const std::string_view end = LineEndOf(line.raw);
    line = ValueLine(stored, end);
    return;
  }
  // After the last value of the key's first section, or right after its header.
  std::optional<size_t> insertAfter;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    if (insertAfter && doc.lines[i].kind == RegLine::Section) break;
    if (SectionMatches(doc.lines[i], key) || (insertAfter && doc.lines[i].kind == RegLine::Value)) {
      insertAfter = i;
    }
  }
  if (!insertAfter) {
    AppendSection(doc, key, value);
    return;
  }
  EnsureLineEnd(doc, *insertAfter);
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(*insertAfter + 1),
                   ValueLine(value, doc.newline));
}

bool DeleteRegValue(RegDocument& doc, std::string_view key, std::string_view name) {
  key = NormalizeKey(key);
  bool removed = false;
  while (const std::optional<size_t> at = FindValueLine(doc, key, name)) {
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(*at));
    removed = true;
  }
  return removed;
}

}  // namespace dravik
