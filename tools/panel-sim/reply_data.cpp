#include "tools/panel-sim/reply_data.h"

namespace panelsim {

namespace {

constexpr size_t kCodeLength = 8;
constexpr size_t kCodeFiller = 16;
// The identification's trailing bytes: a byte, a 16-bit field, a byte, a 16-bit
// field, a byte, a byte. Their meaning is the panel's own; these mark them visibly.
constexpr uint8_t kIdentificationTail[] = {0x01, 0x00, 0x02, 0x03, 0x00, 0x04, 0x05, 0x06};

}  // namespace

std::vector<uint8_t> IdentificationData(uint8_t type, uint8_t version) {
  std::vector<uint8_t> data;
  data.reserve(5 + sizeof kIdentificationTail);
  data.push_back(type);
  data.push_back(version);
  data.push_back(0x00);
  if (version >= 2) data.resize(data.size() + 2, 0x00);
  data.insert(data.end(), std::begin(kIdentificationTail), std::end(kIdentificationTail));
  return data;
}

std::vector<uint8_t> PanelCodeData(std::string_view code, uint8_t offset) {
  std::vector<uint8_t> data(kCodeFiller, 0x00);
  data.push_back(offset);
  for (size_t i = kCodeLength; i-- > 0;) {
    const uint8_t character = i < code.size() ? static_cast<uint8_t>(code[i]) : 0;
    data.push_back(static_cast<uint8_t>(character + offset));
  }
  return data;
}

}  // namespace panelsim
