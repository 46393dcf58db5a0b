#pragma once
// The text blocks of the package: how they divide into lines, which lines are
// records to send, and the test each record must pass before it is sent.
//
// Lines: a line ends at the first CR or LF, and a LF right after it belongs to the
// same line end (CR LF and LF LF end one line; LF CR and CR CR leave an empty line
// behind). The last line needs no line end, and a line end at the very end of the
// text starts no further line. The text stops at its first zero byte.
//
// Block 1: every nonempty line is a record. Block 2: a line starting with ";" is
// a comment; the first other line that contains "*****" ends the records; every
// other line, an empty one included, is a record.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace dravik {

inline constexpr std::string_view kTextEndMarker = "*****";

enum class TextBlockKind : uint8_t { Block1, Block2 };

enum class LineAction : uint8_t {
  Send,  // a record: test it with CheckTextRecord, then send it
  Skip,  // an empty line of block 1 or a comment of block 2
  End,   // the end marker of block 2: stop here
};

struct TextLine {
  std::string_view text;  // without its line end
  size_t offset;          // of its first character, from the start of the block
  LineAction action;
};

// What a text-block sender walks, line by line, in order. For block 2 the walk
// stops at the end marker, which is its last line.
struct TextBlockPlan {
  std::vector<TextLine> lines;

  // c, the divisor of the block bar: every line walked, skipped ones included.
  uint32_t LineCount() const { return static_cast<uint32_t>(lines.size()); }
  // The records to send, in order.
  std::vector<std::string_view> Records() const;
};

// A block's text: its bytes up to the first zero byte.
std::string_view TextOfBlock(std::span<const uint8_t> block);

TextBlockPlan SplitTextBlock(std::string_view text, TextBlockKind kind);
inline TextBlockPlan SplitTextBlock(std::span<const uint8_t> block, TextBlockKind kind) {
  return SplitTextBlock(TextOfBlock(block), kind);
}

enum class TextRecordFault : uint8_t {
  None,
  TooShort,       // fewer than 12 characters
  NoLeadingS,     // the first character is not "S"
  NotHexDigit,    // a character from the third on is not 0-9, A-F, a-f
  OddDigitCount,  // the digits before the checksum do not make whole bytes
  BadChecksum,    // the last two digits differ from the computed checksum
};

struct TextRecordCheck {
  TextRecordFault fault = TextRecordFault::None;
  size_t position = 0;   // of the offending character (NotHexDigit)
  uint8_t computed = 0;  // BadChecksum: the ones' complement of the byte sum
  uint8_t stated = 0;    // BadChecksum: the record's last two digits

  bool ok() const { return fault == TextRecordFault::None; }
};

// The record test, with the reason when it fails.
TextRecordCheck DiagnoseTextRecord(std::string_view line);

// The record test: "S", a type character, then at least ten hexadecimal digits
// whose byte pairs, summed and complemented, give the last pair.
inline bool CheckTextRecord(std::string_view line) {
  return DiagnoseTextRecord(line).ok();
}

// The record type: the second character read as a hexadecimal digit; -1 when
// there is none. Only type 7 changes how a record is sent.
int TextRecordType(std::string_view line);

}  // namespace dravik
