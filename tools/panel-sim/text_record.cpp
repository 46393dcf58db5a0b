#include "tools/panel-sim/text_record.h"

#include <cstdint>
#include <optional>

namespace panelsim {

namespace {

// Count and checksum at the least.
constexpr size_t kMinHexDigits = 4;

std::optional<uint8_t> HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  return std::nullopt;
}

}  // namespace

RecordCheck CheckRecord(std::string_view record) {
  if (record.size() < 2 || record[0] != 'S' || !HexDigit(record[1])) return RecordCheck::Malformed;
  const std::string_view digits = record.substr(2);
  if (digits.size() < kMinHexDigits || digits.size() % 2 != 0) return RecordCheck::Malformed;
  unsigned sum = 0;
  uint8_t last = 0;
  for (size_t i = 0; i < digits.size(); i += 2) {
    const std::optional<uint8_t> high = HexDigit(digits[i]);
    const std::optional<uint8_t> low = HexDigit(digits[i + 1]);
    if (!high || !low) return RecordCheck::Malformed;
    last = static_cast<uint8_t>(*high << 4 | *low);
    sum += last;
  }
  sum -= last;
  const uint8_t expected = static_cast<uint8_t>(~sum);
  return expected == last ? RecordCheck::Ok : RecordCheck::BadChecksum;
}

bool IsTerminationRecord(std::string_view record) {
  return record.size() >= 2 && record[0] == 'S' && record[1] >= '7' && record[1] <= '9';
}

}  // namespace panelsim
