#pragma once
// The dialog resources: every dialog's controls with their ids, kinds, positions in
// dialog units, styles, initial texts and roles. Both front ends build their windows
// from these tables and the dialog logic finds its controls by the same ids.

#include <cstdint>
#include <span>
#include <string_view>

#include "downloader/resources/string_table.h"

namespace dravik {

// Dialog template ids.
enum DialogId : uint16_t {
  IDD_ABOUTBOX = 100,
  IDD_DRAVIK_DIALOG = 102,
  IDD_PORT_SELECT = 130,
  IDD_CODE_PROMPT = 131,
};

// The program's icon.
inline constexpr uint16_t IDR_MAINFRAME = 128;

// Control ids. IDC_STATIC marks controls the logic never addresses.
enum ControlId : int {
  IDC_STATIC = -1,
  IDC_OK = 1,
  IDC_CANCEL = 2,
  IDC_STATUS = 1003,
  IDC_WARNING = 1004,
  IDC_PORT_LIST = 1005,
  IDC_OVERALL_PERCENT = 1006,
  IDC_OVERALL_BAR = 1007,
  IDC_STEP_BAR = 1008,
  IDC_STEP_PERCENT = 1009,
  IDC_QUESTION = 1020,
  IDC_CODE_EDIT = 1030,
  IDC_CODE_MACHINE = 1031,
};

enum class ControlKind : uint8_t { Static, Icon, ComboBox, PushButton, ProgressBar, Edit };

// Control styles, one bit each.
enum ControlStyle : uint32_t {
  kStyleNone = 0,
  kCentred = 1u << 0,        // static text centred in its rectangle
  kRightAligned = 1u << 1,   // static text against its right edge
  kDefaultButton = 1u << 2,  // the button that Enter presses
  kSmooth = 1u << 3,         // progress bar drawn as one solid bar
  kDropDownList = 1u << 4,   // combo box without an edit field
  kVerticalScroll = 1u << 5,
  kSorted = 1u << 6,  // has no effect: items are inserted at explicit positions
  kNoPrefix = 1u << 7,
};

// What a control is for. Front ends name controls by role (the line mode's tags,
// widget object names); the logic uses ids.
enum class ControlRole : uint8_t {
  Label,
  Icon,
  PortList,
  Question,
  Ok,
  Cancel,
  Status,
  Warning,
  StepBar,
  StepPercent,
  OverallBar,
  OverallPercent,
  Text,
  CodeField,
  MachineType,
};

// Dialog styles.
enum DialogStyle : uint32_t {
  kPopup = 1u << 0,
  kVisible = 1u << 1,
  kModalFrame = 1u << 2,
  kCaption = 1u << 3,
  kSystemMenu = 1u << 4,
  kMinimiseBox = 1u << 5,
  kMaximiseBox = 1u << 6,
  kAppWindow = 1u << 7,  // shown with a taskbar button
};

// A rectangle in dialog units: horizontally a quarter, vertically an eighth of the
// dialog font's average character cell.
struct DialogRect {
  int16_t x;
  int16_t y;
  int16_t w;
  int16_t h;
};

struct ControlResource {
  int id;
  ControlKind kind;
  DialogRect rect;
  uint32_t style;
  std::string_view text;
  ControlRole role;
  uint16_t textLimit = 0;  // edit fields: most characters accepted, 0 for no limit
};

struct DialogResource {
  uint16_t id;
  std::string_view caption;
  uint32_t style;
  uint16_t width;  // dialog units
  uint16_t height;
  std::string_view fontName;
  uint8_t fontPoints;
  std::span<const ControlResource> controls;

  // The control with this id, or null.
  constexpr const ControlResource* Find(int controlId) const {
    for (const auto& control : controls) {
      if (control.id == controlId && controlId != IDC_STATIC) return &control;
    }
    return nullptr;
  }
  constexpr bool Has(uint32_t flag) const { return (style & flag) != 0; }
};

inline constexpr std::string_view kDialogFont = "MS Sans Serif";

inline constexpr ControlResource kAboutControls[] = {
    {IDC_STATIC, ControlKind::Icon, {11, 17, 20, 20}, kStyleNone, "", ControlRole::Icon},
    {IDC_STATIC,
     ControlKind::Static,
     {40, 10, 119, 8},
     kNoPrefix,
     LoadStringView(IDS_ABOUT_VERSION),
     ControlRole::Text},
    {IDC_STATIC,
     ControlKind::Static,
     {40, 25, 180, 8},
     kStyleNone,
     LoadStringView(IDS_ABOUT_DESCRIPTION),
     ControlRole::Text},
    {IDC_OK, ControlKind::PushButton, {178, 7, 50, 14}, kDefaultButton, "OK", ControlRole::Ok},
};

inline constexpr DialogResource kAboutDialog = {
    IDD_ABOUTBOX,
    LoadStringView(IDS_ABOUT_CAPTION),
    kModalFrame | kPopup | kCaption | kSystemMenu,
    235,
    55,
    kDialogFont,
    8,
    kAboutControls,
};

inline constexpr ControlResource kDownloadControls[] = {
    {IDC_STATUS,
     ControlKind::Static,
     {45, 12, 110, 9},
     kCentred,
     "Downloading",
     ControlRole::Status},
    {IDC_WARNING,
     ControlKind::Static,
     {19, 29, 161, 11},
     kCentred,
     "Do not turns off the power of VQ",
     ControlRole::Warning},
    {IDC_STEP_BAR, ControlKind::ProgressBar, {6, 44, 169, 16}, kSmooth, "", ControlRole::StepBar},
    {IDC_STEP_PERCENT,
     ControlKind::Static,
     {176, 47, 18, 9},
     kRightAligned,
     "%",
     ControlRole::StepPercent},
    {IDC_OVERALL_BAR,
     ControlKind::ProgressBar,
     {6, 67, 169, 16},
     kSmooth,
     "",
     ControlRole::OverallBar},
    {IDC_OVERALL_PERCENT,
     ControlKind::Static,
     {176, 71, 18, 9},
     kRightAligned,
     "%",
     ControlRole::OverallPercent},
    {IDC_CANCEL,
     ControlKind::PushButton,
     {75, 91, 50, 14},
     kStyleNone,
     "Cancel",
     ControlRole::Cancel},
};

inline constexpr DialogResource kDownloadDialog = {
    IDD_DRAVIK_DIALOG,
    LoadStringView(IDS_APP_TITLE),
    kPopup | kVisible | kModalFrame | kCaption | kSystemMenu | kAppWindow,
    201,
    112,
    kDialogFont,
    9,
    kDownloadControls,
};

inline constexpr ControlResource kPortSelectControls[] = {
    {IDC_STATIC, ControlKind::Static, {20, 9, 42, 9}, kStyleNone, "COM port", ControlRole::Label},
    {IDC_PORT_LIST,
     ControlKind::ComboBox,
     {62, 7, 45, 75},
     kDropDownList | kVerticalScroll | kSorted,
     "",
     ControlRole::PortList},
    {IDC_QUESTION,
     ControlKind::Static,
     {22, 34, 80, 9},
     kCentred,
     "Execute Download?",
     ControlRole::Question},
    {IDC_OK, ControlKind::PushButton, {10, 52, 50, 14}, kDefaultButton, "OK", ControlRole::Ok},
    {IDC_CANCEL,
     ControlKind::PushButton,
     {65, 52, 50, 14},
     kStyleNone,
     "Cancel",
     ControlRole::Cancel},
};

inline constexpr DialogResource kPortSelectDialog = {
    IDD_PORT_SELECT,
    LoadStringView(IDS_APP_TITLE),
    kPopup | kModalFrame | kCaption | kSystemMenu,
    125,
    75,
    kDialogFont,
    9,
    kPortSelectControls,
};

// The panel's code: one field of at most 8 characters, OK and Cancel.
inline constexpr ControlResource kCodePromptControls[] = {
    {IDC_STATIC,
     ControlKind::Static,
     {10, 8, 130, 9},
     kStyleNone,
     LoadStringView(IDS_CODE_PROMPT_LABEL),
     ControlRole::Label},
    {IDC_CODE_MACHINE,
     ControlKind::Static,
     {10, 20, 130, 9},
     kStyleNone,
     "",
     ControlRole::MachineType},
    {IDC_CODE_EDIT,
     ControlKind::Edit,
     {10, 32, 130, 12},
     kStyleNone,
     "",
     ControlRole::CodeField,
     8},
    {IDC_OK, ControlKind::PushButton, {20, 52, 50, 14}, kDefaultButton, "OK", ControlRole::Ok},
    {IDC_CANCEL,
     ControlKind::PushButton,
     {80, 52, 50, 14},
     kStyleNone,
     "Cancel",
     ControlRole::Cancel},
};

inline constexpr DialogResource kCodePromptDialog = {
    IDD_CODE_PROMPT,
    LoadStringView(IDS_APP_TITLE),
    kPopup | kModalFrame | kCaption | kSystemMenu,
    150,
    74,
    kDialogFont,
    9,
    kCodePromptControls,
};

inline constexpr const DialogResource* kDialogs[] = {&kAboutDialog, &kDownloadDialog,
                                                     &kPortSelectDialog, &kCodePromptDialog};

// The dialog template with this id, or null.
constexpr const DialogResource* FindDialog(uint16_t id) {
  for (const DialogResource* dialog : kDialogs) {
    if (dialog->id == id) return dialog;
  }
  return nullptr;
}

// The short name of a role: the line mode's tag, the Qt widgets' object names.
constexpr std::string_view RoleName(ControlRole role) {
  switch (role) {
    case ControlRole::Label:
      return "label";
    case ControlRole::Icon:
      return "icon";
    case ControlRole::PortList:
      return "ports";
    case ControlRole::Question:
      return "question";
    case ControlRole::Ok:
      return "ok";
    case ControlRole::Cancel:
      return "cancel";
    case ControlRole::Status:
      return "status";
    case ControlRole::Warning:
      return "warning";
    case ControlRole::StepBar:
      return "step-bar";
    case ControlRole::StepPercent:
      return "step";
    case ControlRole::OverallBar:
      return "overall-bar";
    case ControlRole::OverallPercent:
      return "overall";
    case ControlRole::Text:
      return "text";
    case ControlRole::CodeField:
      return "code";
    case ControlRole::MachineType:
      return "machine";
  }
  return "control";
}

// The short name of a dialog, for the same uses.
constexpr std::string_view DialogName(uint16_t id) {
  switch (id) {
    case IDD_ABOUTBOX:
      return "about";
    case IDD_DRAVIK_DIALOG:
      return "download";
    case IDD_PORT_SELECT:
      return "port";
    case IDD_CODE_PROMPT:
      return "code";
  }
  return "dialog";
}

}  // namespace dravik
