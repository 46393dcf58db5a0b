#pragma once
// What is wrong with a text block, line by line, as the downloader would find it
// while sending, plus text that it would never send (after a zero byte).

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "downloader/transfer/package_text.h"

namespace dvx {

struct TextFault {
  enum Kind { Record, NoRecords, ZeroByte };
  Kind kind;
  size_t offset;  // from the start of the block
  std::string reason;
};

// Every record of the block that fails the record test, in order; a block with no
// record at all; and a zero byte that has more text after it.
std::vector<TextFault> FindTextFaults(std::span<const uint8_t> block, dravik::TextBlockKind kind);

// The line at offset as an editor numbers it (1-based; CR LF, LF and a lone CR each
// end a line), which can differ from the downloader's count (LF LF is one end there).
size_t EditorLine(std::span<const uint8_t> text, size_t offset);

// Why a record failed, in words.
std::string DescribeRecordFault(const dravik::TextRecordCheck& check, std::string_view line,
                                dravik::TextBlockKind kind);

}  // namespace dvx
