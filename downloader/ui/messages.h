#pragma once
// The framework's message, command and notification numbers that the dialogs use.

#include <cstdint>

namespace dravik {

inline constexpr uint32_t WM_APP = 0x8000;
inline constexpr uint32_t IDM_ABOUTBOX = 0x0010;  // the About item of the system menu
inline constexpr uint32_t SC_CLOSE = 0xF060;
inline constexpr int BN_CLICKED = 0;
inline constexpr int CBN_SELCHANGE = 1;
inline constexpr int CB_ERR = -1;

}  // namespace dravik
