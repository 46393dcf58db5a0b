#include "kernel/model/text.h"

namespace kmodel {

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

std::u16string Widen(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return wide;
}

std::u16string FromUnicode(PCUNICODE_STRING string) {
  if (!string || !string->Buffer) return {};
  return std::u16string(string->Buffer, string->Length / sizeof(WCHAR));
}

std::u16string FromZeroTerminated(PCWSTR text) {
  return text ? std::u16string(text) : std::u16string();
}

std::u16string Folded(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return folded;
}

}  // namespace kmodel
