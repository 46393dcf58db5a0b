#include "downloader/link/panel_code.h"

#include "downloader/link/command_table.h"
#include "downloader/resources/string_table.h"

namespace dravik {

PanelCode DecodePanelCode(const uint8_t* reply) {
  const uint8_t k = reply[kCodeOffsetByte];
  PanelCode code{};
  for (int j = 0; j < kPanelCodeLength; ++j) {
    // A byte below k wraps; such a code cannot be matched by any entry, which is the
    // panel's problem, not a reason to refuse the reply.
    code[j] = static_cast<uint8_t>(reply[kCodeLastByte - j] - k);
  }
  return code;
}

std::string UpperCaseEntry(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

uint16_t CheckCodeEntry(std::string_view text, const PanelCode& expected) {
  const std::string entry = UpperCaseEntry(text);
  for (char c : entry) {
    const bool digit = c >= '0' && c <= '9';
    const bool letter = c >= 'A' && c <= 'Z';
    if (!digit && !letter) return IDS_CODE_BAD_CHARACTER;
  }
  if (entry.size() > kPanelCodeLength) return IDS_CODE_TOO_LONG;
  PanelCode typed{};
  for (size_t i = 0; i < entry.size(); ++i) typed[i] = static_cast<uint8_t>(entry[i]);
  return typed == expected ? 0 : IDS_WRONG_CODE;
}

}  // namespace dravik
