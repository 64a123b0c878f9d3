// The panel's control ids, each named once. The dialog's table, its
// handlers and the tests refer to controls by these names only.
#pragma once

#include <array>
#include <span>

namespace panel_id {
inline constexpr int kBackground = 1041;
inline constexpr int kPairFirst = 1117, kPairSecond = 1118;
inline constexpr int kFreeze = 1000, kSaveImage = 1002, kPrint = 1001, kMovie = 1003;
inline constexpr int kLog = 1127, kRate = 1129, kClear = 1128;
inline constexpr int kZoom = 1048, kFocus = 1052, kBright = 1053, kSharp = 1056, kRed = 1059, kBlue = 1057;
inline constexpr int kHoldLeft = 1050, kHoldRight = 1051;
inline constexpr int kAutoFocus = 1125, kAwb = 1058, kDZoom = 1062;
inline constexpr int kMirror = 1065, kFlip = 1064, kColor = 1074, kEdge = 1119, kEmboss = 1120, kNegative = 1063;
inline constexpr int kXga = 1043, kSvga = 1044, kVga = 1045;
inline constexpr int kInputSelect = 1046, kLamp = 1047, kPicture = 1103;

// Preset Save and Preset Run "1" to "4".
inline constexpr std::array<int, 4> kPresetSave = {1060, 1066, 1068, 1069};
inline constexpr std::array<int, 4> kPresetRun = {1070, 1071, 1072, 1073};

// The two 16-slot grids, Save and Recall. Slots 1 to 14 run on from the
// grid's first id; 15 and 16 were given ids of their own later.
struct SlotGrid {
  int first;
  int id15;
  int id16;
};
inline constexpr SlotGrid kSaveSlots = {1075, 1121, 1122};
inline constexpr SlotGrid kRecallSlots = {1089, 1123, 1124};
inline constexpr int kSlotCount = 16;

// The id of slot n (1 to 16) of a grid.
constexpr int SlotId(const SlotGrid& grid, int n) {
  return n <= 14 ? grid.first + n - 1 : n == 15 ? grid.id15 : grid.id16;
}
// The row of a table with this id; null when it has none.
template <typename Row>
const Row* FindById(std::span<const Row> rows, int id) {
  for (const Row& row : rows)
    if (row.id == id) return &row;
  return nullptr;
}
}  // namespace panel_id
