#include "tools/dvx/text_faults.h"

#include <algorithm>
#include <cstdio>

namespace dvx {

using dravik::TextBlockKind;
using dravik::TextRecordFault;

std::vector<TextFault> FindTextFaults(std::span<const uint8_t> block, TextBlockKind kind) {
  std::vector<TextFault> faults;
  dravik::TextBlockPlan plan = dravik::SplitTextBlock(block, kind);
  if (plan.Records().empty())
    faults.push_back({TextFault::NoRecords, 0, "no records: the block would send nothing"});
  for (const dravik::TextLine& line : plan.lines) {
    if (line.action != dravik::LineAction::Send) continue;
    dravik::TextRecordCheck check = dravik::DiagnoseTextRecord(line.text);
    if (!check.ok())
      faults.push_back(
          {TextFault::Record, line.offset, DescribeRecordFault(check, line.text, kind)});
  }
  auto zero = std::find(block.begin(), block.end(), uint8_t{0});
  if (std::any_of(zero, block.end(), [](uint8_t byte) { return byte != 0; })) {
    faults.push_back({TextFault::ZeroByte, static_cast<size_t>(zero - block.begin()),
                      "zero byte: the text after it is never sent"});
  }
  return faults;
}

size_t EditorLine(std::span<const uint8_t> text, size_t offset) {
  size_t line = 1;
  offset = std::min(offset, text.size());
  for (size_t i = 0; i < offset; ++i) {
    bool crBeforeLf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if ((text[i] == '\n' || text[i] == '\r') && !crBeforeLf) ++line;
  }
  return line;
}

std::string DescribeRecordFault(const dravik::TextRecordCheck& check, std::string_view line,
                                TextBlockKind kind) {
  char text[128];
  switch (check.fault) {
    case TextRecordFault::None:
      return "record passes";
    case TextRecordFault::TooShort:
      if (line.empty() && kind == TextBlockKind::Block2) {
        return "empty line: in block 2 every line that is not a comment is a record, and an "
               "empty one fails the record test";
      }
      std::snprintf(text, sizeof text, "record of %zu characters; a record has at least 12",
                    line.size());
      return text;
    case TextRecordFault::NoLeadingS:
      return "record does not start with \"S\"";
    case TextRecordFault::NotHexDigit:
      std::snprintf(text, sizeof text, "character 0x%02X at column %zu is not a hexadecimal digit",
                    static_cast<unsigned char>(line[check.position]), check.position + 1);
      return text;
    case TextRecordFault::OddDigitCount:
      return "odd number of hexadecimal digits before the checksum";
    case TextRecordFault::BadChecksum:
      std::snprintf(text, sizeof text, "checksum should be %02X, the record says %02X",
                    check.computed, check.stated);
      return text;
  }
  return "record fails the record test";
}

}  // namespace dvx
