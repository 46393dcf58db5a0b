#include "tools/panel-sim/binary_assembler.h"

#include <utility>

namespace panelsim {

BinaryAssembler::Result BinaryAssembler::Accept(uint16_t number, std::span<const uint8_t> payload) {
  if (!InProgress()) {
    if (number == 0) return Result::WrongNumber;
    if (payload.size() < 2 || payload[0] != 0x00 || payload[1] != 0x01) {
      return Result::MissingPrefix;
    }
    payload = payload.subspan(2);
    block_.clear();
  } else if (number != expected_) {
    return Result::WrongNumber;
  }
  block_.insert(block_.end(), payload.begin(), payload.end());
  expected_ = static_cast<uint16_t>(number - 1);
  return expected_ == 0 ? Result::Completed : Result::Accepted;
}

void BinaryAssembler::Abandon() {
  expected_ = 0;
  block_.clear();
}

std::vector<uint8_t> BinaryAssembler::TakeBlock() {
  expected_ = 0;
  return std::exchange(block_, {});
}

}  // namespace panelsim
