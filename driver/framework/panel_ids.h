#pragma once
// The panel's USB identifiers. A device whose descriptor carries others is not one
// of the panels this driver serves.

#include "kernel/base_types.h"

inline constexpr USHORT PANEL_VENDOR_ID = 0x3A7C;
inline constexpr USHORT PANEL_PRODUCT_ID = 0x0101;
