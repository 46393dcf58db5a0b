#include "downloader/transfer/package_text.h"

namespace dravik {
namespace {

constexpr size_t kMinimumRecordChars = 12;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint8_t ByteAt(std::string_view line, size_t i) {
  return static_cast<uint8_t>(HexValue(line[i]) << 4 | HexValue(line[i + 1]));
}

LineAction ActionFor(std::string_view line, TextBlockKind kind) {
  if (kind == TextBlockKind::Block1) return line.empty() ? LineAction::Skip : LineAction::Send;
  if (!line.empty() && line.front() == ';') return LineAction::Skip;
  if (line.find(kTextEndMarker) != std::string_view::npos) return LineAction::End;
  return LineAction::Send;
}

}  // namespace

std::vector<std::string_view> TextBlockPlan::Records() const {
  std::vector<std::string_view> records;
  for (const TextLine& line : lines) {
    if (line.action == LineAction::Send) records.push_back(line.text);
  }
  return records;
}

std::string_view TextOfBlock(std::span<const uint8_t> block) {
  std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
  return text.substr(0, text.find('\0'));
}

TextBlockPlan SplitTextBlock(std::string_view text, TextBlockKind kind) {
  TextBlockPlan plan;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    size_t next = text.size();
    if (end == std::string_view::npos) {
      end = text.size();
    } else {
      next = end + 1;
      if (next < text.size() && text[next] == '\n') ++next;
    }
    std::string_view line = text.substr(start, end - start);
    LineAction action = ActionFor(line, kind);
    plan.lines.push_back({line, start, action});
    if (action == LineAction::End) break;
    start = next;
  }
  return plan;
}

TextRecordCheck DiagnoseTextRecord(std::string_view line) {
  TextRecordCheck check;
  if (line.size() < kMinimumRecordChars) {
    check.fault = TextRecordFault::TooShort;
    return check;
  }
  if (line.front() != 'S') {
    check.fault = TextRecordFault::NoLeadingS;
    return check;
  }
  for (size_t i = 2; i < line.size(); ++i) {
    if (HexValue(line[i]) < 0) {
      check.fault = TextRecordFault::NotHexDigit;
      check.position = i;
      return check;
    }
  }
  // A half byte before the checksum cannot be summed; such a record is malformed.
  const size_t checksumAt = line.size() - 2;
  if ((checksumAt - 2) % 2 != 0) {
    check.fault = TextRecordFault::OddDigitCount;
    return check;
  }
  uint32_t sum = 0;
  for (size_t i = 2; i < checksumAt; i += 2) sum += ByteAt(line, i);
  check.computed = static_cast<uint8_t>(~sum);
  check.stated = ByteAt(line, checksumAt);
  if (check.computed != check.stated) check.fault = TextRecordFault::BadChecksum;
  return check;
}

int TextRecordType(std::string_view line) {
  return line.size() < 2 ? -1 : HexValue(line[1]);
}

}  // namespace dravik
