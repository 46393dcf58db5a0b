#pragma once
// The live state of one dialog's controls, built from its resource: what the logic
// writes through the control calls and what the front ends draw. Every change is
// reported to one listener, so a shown dialog is redrawn.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/platform/progress_bar.h"
#include "downloader/resources/dialogs.h"
#include "downloader/ui/messages.h"

namespace dravik {

struct ComboItem {
  std::string text;
  intptr_t data = 0;
};

struct ControlState {
  const ControlResource* resource = nullptr;
  std::string text;
  bool enabled = true;
  bool shown = true;
  std::vector<ComboItem> items;  // combo boxes
  int selection = CB_ERR;        // combo boxes: the selected item, -1 for none
  ProgressBarState bar;          // progress bars

  int id() const { return resource->id; }
};

struct SystemMenuItem {
  uint32_t id = 0;  // 0 for a separator
  std::string text;
};

class DialogState {
 public:
  explicit DialogState(const DialogResource& resource);

  const DialogResource& resource() const { return *resource_; }
  std::vector<ControlState>& controls() { return controls_; }
  const std::vector<ControlState>& controls() const { return controls_; }

  // The control with this id, or null for an id the dialog does not have.
  ControlState* Find(int controlId);
  const ControlState* Find(int controlId) const;

  // The control calls. Each returns what the framework returns; on an id the dialog
  // does not have they do nothing and return the failure value.
  void SetText(int controlId, std::string_view text);
  std::string Text(int controlId) const;
  void Enable(int controlId, bool enabled);
  bool IsEnabled(int controlId) const;
  void Show(int controlId, bool shown);
  // CB_INSERTSTRING: index -1 appends. Returns the new item's index, or -1.
  int ComboInsert(int controlId, int index, std::string_view text);
  // CB_SETCURSEL: -1 clears. Returns the index, or -1 for none or an invalid one.
  int ComboSetSelection(int controlId, int index);
  // CB_GETCURSEL: the selected index, or -1.
  int ComboSelection(int controlId) const;
  // CB_SETITEMDATA / CB_GETITEMDATA: -1 for an index out of range.
  int ComboSetData(int controlId, int index, intptr_t data);
  intptr_t ComboData(int controlId, int index) const;
  // A progress-bar message; returns what the control returns (0 on a bad id).
  intptr_t Progress(int controlId, ProgressMessage message, uintptr_t wParam, intptr_t lParam);
  // The control with the keyboard focus, 0 for none.
  int focus() const { return focus_; }
  void SetFocus(int controlId);

  // The system menu: its custom items (the standard ones are the front end's).
  bool HasSystemMenu() const { return resource_->Has(kSystemMenu); }
  const std::vector<SystemMenuItem>& systemMenu() const { return systemMenu_; }
  bool HasSystemMenuItem(uint32_t id) const;
  void AppendSystemMenu(uint32_t id, std::string_view text);
  // The icon set with WM_SETICON, 0 for none.
  uint16_t icon() const { return icon_; }
  void SetIcon(uint16_t iconId) { icon_ = iconId; }

  // Whether the dialog answers help requests (F1), for the front ends' key hints.
  bool helpAvailable() const { return helpAvailable_; }
  void SetHelpAvailable(bool available) { helpAvailable_ = available; }

  // The default push button's id, or 0.
  int DefaultButton() const;

  // Called with the control id after every change.
  void SetListener(std::function<void(int controlId)> listener) { listener_ = std::move(listener); }

 private:
  void Changed(int controlId) {
    if (listener_) listener_(controlId);
  }

  const DialogResource* resource_;
  std::vector<ControlState> controls_;
  std::vector<SystemMenuItem> systemMenu_;
  uint16_t icon_ = 0;
  int focus_ = 0;
  bool helpAvailable_ = false;
  std::function<void(int)> listener_;
};

}  // namespace dravik
