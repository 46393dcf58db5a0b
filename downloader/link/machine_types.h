#pragma once
// Machine types: the identification record a panel sends back, and the classes of
// type codes that decide compatibility, pauses and time limits.

#include <cstdint>

namespace dravik {

// What the reply to the identification command says about the panel.
struct MachineInfo {
  uint8_t Type = 0;     // machine type code
  uint8_t Version = 0;  // version number the panel reports

  bool operator==(const MachineInfo&) const = default;
};

// Reply offsets of the two interpreted fields; the bytes after them are not used.
inline constexpr int kMachineTypeOffset = 8;
inline constexpr int kMachineVersionOffset = 9;

// The machine type before any panel was accepted: a code in no class, so that
// nothing type-dependent picks the behaviour of a particular series by accident.
inline constexpr uint8_t kMachineTypeUnknown = 0xFF;

enum class MachineClass : uint8_t {
  None,
  Series0,
  Series1,
  Series2,
  Series3,
  Series4,
  Series5,
  Series6,
  Series7,
  TypeGroupA,
  TypeGroupB,
};

// The class of a code is decided by its high four bits, except for a few codes of
// the 0 and 8 rows that form groups of their own.
inline constexpr MachineClass kClassByHighNibble[16] = {
    MachineClass::Series0, MachineClass::Series1, MachineClass::Series2, MachineClass::Series3,
    MachineClass::Series4, MachineClass::Series5, MachineClass::Series6, MachineClass::Series7,
    MachineClass::Series0, MachineClass::None,    MachineClass::Series2, MachineClass::Series3,
    MachineClass::Series4, MachineClass::Series5, MachineClass::None,    MachineClass::None,
};

struct MachineClassException {
  uint8_t code;
  MachineClass machineClass;
};

inline constexpr MachineClassException kClassExceptions[] = {
    {0x01, MachineClass::TypeGroupB}, {0x81, MachineClass::TypeGroupB},
    {0x02, MachineClass::TypeGroupA}, {0x0A, MachineClass::TypeGroupA},
    {0x82, MachineClass::TypeGroupA}, {0x8A, MachineClass::TypeGroupA},
};

constexpr MachineClass ClassOf(uint8_t type) {
  for (const auto& exception : kClassExceptions) {
    if (exception.code == type) return exception.machineClass;
  }
  return kClassByHighNibble[type >> 4];
}

constexpr bool IsSeries0(uint8_t type) {
  return ClassOf(type) == MachineClass::Series0;
}
constexpr bool IsSeries1(uint8_t type) {
  return ClassOf(type) == MachineClass::Series1;
}
constexpr bool IsSeries2(uint8_t type) {
  return ClassOf(type) == MachineClass::Series2;
}
constexpr bool IsSeries3(uint8_t type) {
  return ClassOf(type) == MachineClass::Series3;
}
constexpr bool IsSeries4(uint8_t type) {
  return ClassOf(type) == MachineClass::Series4;
}
constexpr bool IsSeries5(uint8_t type) {
  return ClassOf(type) == MachineClass::Series5;
}
constexpr bool IsSeries6(uint8_t type) {
  return ClassOf(type) == MachineClass::Series6;
}
constexpr bool IsSeries7(uint8_t type) {
  return ClassOf(type) == MachineClass::Series7;
}
constexpr bool IsTypeGroupA(uint8_t type) {
  return ClassOf(type) == MachineClass::TypeGroupA;
}
constexpr bool IsTypeGroupB(uint8_t type) {
  return ClassOf(type) == MachineClass::TypeGroupB;
}

// The panels that take longer to restart.
constexpr bool IsRestartGroup(uint8_t type) {
  return IsSeries2(type) || IsSeries6(type) || IsSeries7(type) || IsTypeGroupA(type);
}

}  // namespace dravik
