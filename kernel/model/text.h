#pragma once
// Conversions between the kernel's counted UTF-16 strings and the model's own text.
// Names in the model are ASCII in practice; other characters pass through unchanged
// in UTF-16 and as '?' in narrow text.

#include <string>
#include <string_view>

#include "kernel/base_types.h"

namespace kmodel {

std::string Narrow(std::u16string_view text);
std::u16string Widen(std::string_view text);
std::u16string FromUnicode(PCUNICODE_STRING string);
std::u16string FromZeroTerminated(PCWSTR text);
// Case folding of ASCII letters, for names the kernel compares without case.
std::u16string Folded(std::u16string_view text);

}  // namespace kmodel
