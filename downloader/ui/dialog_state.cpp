#include "downloader/ui/dialog_state.h"

namespace dravik {

DialogState::DialogState(const DialogResource& resource) : resource_(&resource) {
  controls_.reserve(resource.controls.size());
  for (const auto& control : resource.controls) {
    ControlState state;
    state.resource = &control;
    state.text = std::string(control.text);
    controls_.push_back(std::move(state));
  }
}

namespace {
// The control of a dialog's controls with this id, const or not.
template <typename Controls>
auto FindIn(Controls& controls, int controlId) -> decltype(&controls.front()) {
  if (controlId == IDC_STATIC) return nullptr;
  for (auto& control : controls) {
    if (control.id() == controlId) return &control;
  }
  return nullptr;
}

template <typename Controls>
auto FindComboIn(Controls& controls, int controlId) -> decltype(&controls.front()) {
  auto* control = FindIn(controls, controlId);
  return control != nullptr && control->resource->kind == ControlKind::ComboBox ? control : nullptr;
}

bool InRange(const ControlState& combo, int index) {
  return index >= 0 && static_cast<size_t>(index) < combo.items.size();
}
}  // namespace

ControlState* DialogState::Find(int controlId) {
  return FindIn(controls_, controlId);
}

const ControlState* DialogState::Find(int controlId) const {
  return FindIn(controls_, controlId);
}

void DialogState::SetText(int controlId, std::string_view text) {
  ControlState* control = Find(controlId);
  if (control == nullptr) return;
  control->text = std::string(text);
  Changed(controlId);
}

std::string DialogState::Text(int controlId) const {
  const ControlState* control = Find(controlId);
  return control != nullptr ? control->text : std::string();
}

void DialogState::Enable(int controlId, bool enabled) {
  ControlState* control = Find(controlId);
  if (control == nullptr) return;
  control->enabled = enabled;
  Changed(controlId);
}

bool DialogState::IsEnabled(int controlId) const {
  const ControlState* control = Find(controlId);
  return control != nullptr && control->enabled;
}

void DialogState::Show(int controlId, bool shown) {
  ControlState* control = Find(controlId);
  if (control == nullptr) return;
  control->shown = shown;
  Changed(controlId);
}

int DialogState::ComboInsert(int controlId, int index, std::string_view text) {
  ControlState* combo = FindComboIn(controls_, controlId);
  if (combo == nullptr) return CB_ERR;
  const int size = static_cast<int>(combo->items.size());
  if (index == -1) index = size;
  if (index < 0 || index > size) return CB_ERR;
  combo->items.insert(combo->items.begin() + index, ComboItem{std::string(text), 0});
  if (combo->selection >= index) ++combo->selection;
  Changed(controlId);
  return index;
}

int DialogState::ComboSetSelection(int controlId, int index) {
  ControlState* combo = FindComboIn(controls_, controlId);
  if (combo == nullptr) return CB_ERR;
  combo->selection = InRange(*combo, index) ? index : CB_ERR;
  Changed(controlId);
  return combo->selection;
}

int DialogState::ComboSelection(int controlId) const {
  const ControlState* combo = FindComboIn(controls_, controlId);
  return combo != nullptr ? combo->selection : CB_ERR;
}

int DialogState::ComboSetData(int controlId, int index, intptr_t data) {
  ControlState* combo = FindComboIn(controls_, controlId);
  if (combo == nullptr || !InRange(*combo, index)) return CB_ERR;
  combo->items[static_cast<size_t>(index)].data = data;
  return 0;
}

intptr_t DialogState::ComboData(int controlId, int index) const {
  const ControlState* combo = FindComboIn(controls_, controlId);
  if (combo == nullptr || !InRange(*combo, index)) return CB_ERR;
  return combo->items[static_cast<size_t>(index)].data;
}

intptr_t DialogState::Progress(int controlId, ProgressMessage message, uintptr_t wParam,
                               intptr_t lParam) {
  ControlState* control = Find(controlId);
  if (control == nullptr || control->resource->kind != ControlKind::ProgressBar) return 0;
  const int before = control->bar.Position();
  const int minimum = control->bar.Minimum();
  const int maximum = control->bar.Maximum();
  const intptr_t result = control->bar.Handle(message, wParam, lParam);
  if (control->bar.Position() != before || control->bar.Minimum() != minimum ||
      control->bar.Maximum() != maximum) {
    Changed(controlId);
  }
  return result;
}

void DialogState::SetFocus(int controlId) {
  if (Find(controlId) == nullptr) return;
  focus_ = controlId;
  Changed(controlId);
}

bool DialogState::HasSystemMenuItem(uint32_t id) const {
  for (const auto& item : systemMenu_) {
    if (item.id == id) return true;
  }
  return false;
}

void DialogState::AppendSystemMenu(uint32_t id, std::string_view text) {
  systemMenu_.push_back({id, std::string(text)});
  Changed(0);
}

int DialogState::DefaultButton() const {
  for (const auto& control : controls_) {
    if (control.resource->kind == ControlKind::PushButton &&
        (control.resource->style & kDefaultButton) != 0) {
      return control.id();
    }
  }
  return 0;
}

}  // namespace dravik
