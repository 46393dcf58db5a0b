#pragma once
// Result codes of the link and transfer layers: 0 (or a byte count) for success,
// one of these on failure. Never exceptions.

namespace dravik {

enum : int {
  RESULT_OK = 0,
  RESULT_PORT_FAILED = -1,
  RESULT_TIMEOUT = -100,
  RESULT_PANEL_STATUS = -200,
  RESULT_BAD_REPLY = -300,
  RESULT_NO_ANSWER = -400,
  RESULT_UNLOCKED = -800,
  RESULT_CANCELLED = -900,
  RESULT_BROKEN_DATA = -1000,
  RESULT_WRITE_FAILED = -2000,
  RESULT_READ_FAILED = -3000,
};

}  // namespace dravik
