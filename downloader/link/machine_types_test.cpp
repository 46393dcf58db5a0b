#include "downloader/link/machine_types.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

struct ClassCase {
  uint8_t type;
  MachineClass expected;
  bool restartGroup;
};

// The edges of every class: row starts and ends, the mirrored rows 8 to D, the
// carved-out groups, and the rows that belong to no class.
constexpr ClassCase kClassCases[] = {
    {0x00, MachineClass::Series0, false},    {0x05, MachineClass::Series0, false},
    {0x0F, MachineClass::Series0, false},    {0x80, MachineClass::Series0, false},
    {0x8F, MachineClass::Series0, false},    {0x01, MachineClass::TypeGroupB, false},
    {0x81, MachineClass::TypeGroupB, false}, {0x02, MachineClass::TypeGroupA, true},
    {0x0A, MachineClass::TypeGroupA, true},  {0x82, MachineClass::TypeGroupA, true},
    {0x8A, MachineClass::TypeGroupA, true},  {0x10, MachineClass::Series1, false},
    {0x1F, MachineClass::Series1, false},    {0x90, MachineClass::None, false},
    {0x95, MachineClass::None, false},       {0x9F, MachineClass::None, false},
    {0x24, MachineClass::Series2, true},     {0xA4, MachineClass::Series2, true},
    {0x34, MachineClass::Series3, false},    {0xBF, MachineClass::Series3, false},
    {0x40, MachineClass::Series4, false},    {0xC0, MachineClass::Series4, false},
    {0x5F, MachineClass::Series5, false},    {0xDF, MachineClass::Series5, false},
    {0x60, MachineClass::Series6, true},     {0x6F, MachineClass::Series6, true},
    {0x70, MachineClass::Series7, true},     {0x7F, MachineClass::Series7, true},
    {0xE0, MachineClass::None, false},       {0xFF, MachineClass::None, false},
};

using Predicate = bool (*)(uint8_t);

struct NamedClass {
  MachineClass machineClass;
  Predicate predicate;
};

constexpr NamedClass kPredicates[] = {
    {MachineClass::Series0, IsSeries0},       {MachineClass::Series1, IsSeries1},
    {MachineClass::Series2, IsSeries2},       {MachineClass::Series3, IsSeries3},
    {MachineClass::Series4, IsSeries4},       {MachineClass::Series5, IsSeries5},
    {MachineClass::Series6, IsSeries6},       {MachineClass::Series7, IsSeries7},
    {MachineClass::TypeGroupA, IsTypeGroupA}, {MachineClass::TypeGroupB, IsTypeGroupB},
};

TEST(MachineTypes, EdgeCodesFallInTheirClassOnly) {
  for (const ClassCase& c : kClassCases) {
    SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << int{c.type});
    for (const NamedClass& named : kPredicates) {
      EXPECT_EQ(named.predicate(c.type), named.machineClass == c.expected);
    }
    EXPECT_EQ(IsRestartGroup(c.type), c.restartGroup);
  }
}

TEST(MachineTypes, EveryCodeIsInAtMostOneClassAndTheRowsDecide) {
  for (int code = 0; code < 256; ++code) {
    const auto type = static_cast<uint8_t>(code);
    int classes = 0;
    for (const NamedClass& named : kPredicates) classes += named.predicate(type) ? 1 : 0;
    const int row = code >> 4;
    const bool noClassRow = row == 0x9 || row >= 0xE;
    EXPECT_EQ(classes, noClassRow ? 0 : 1) << "type " << code;
    // Outside the 0 and 8 rows the high four bits alone decide.
    if (row != 0x0 && row != 0x8 && !noClassRow) {
      EXPECT_EQ(ClassOf(type), ClassOf(static_cast<uint8_t>(row << 4))) << "type " << code;
    }
  }
}

TEST(MachineTypes, UnknownTypeIsInNoClass) {
  static_assert(ClassOf(kMachineTypeUnknown) == MachineClass::None);
  static_assert(!IsRestartGroup(kMachineTypeUnknown));
}

}  // namespace
}  // namespace dravik
