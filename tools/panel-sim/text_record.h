#pragma once
// The panel's test of a text record: "S", a record type digit, then pairs of
// hexadecimal digits whose last pair is the ones' complement of the sum of the others.

#include <string_view>

namespace panelsim {

enum class RecordCheck { Ok, Malformed, BadChecksum };

RecordCheck CheckRecord(std::string_view record);

// S7, S8 and S9 end a record file: after one of them in the first text block the
// panel restarts by itself.
bool IsTerminationRecord(std::string_view record);

}  // namespace panelsim
