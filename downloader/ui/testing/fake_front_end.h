#pragma once
// A front end for tests: logs what it is asked to show in one line per call, into a
// log that other fakes may share so a test sees the order across all of them, and
// answers from scripts. Input for a waiting dialog comes from a queue of actions
// (empty: the default button); input during the message pump from a callback;
// boxes from a queue of answers (empty: the default button, OK or Yes).

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "downloader/ui/dialog_state.h"
#include "downloader/ui/frontend.h"

namespace dravik {

class FakeFrontEnd final : public FrontEnd {
 public:
  using Action = std::function<InputEvent(DialogState&)>;

  explicit FakeFrontEnd(std::vector<std::string>* sharedLog = nullptr)
      : log_(sharedLog != nullptr ? *sharedLog : ownLog_) {}

  // --- Script ---
  void QueueInput(InputEvent event) {
    inputs_.push_back([event](DialogState&) { return event; });
  }
  void QueueInput(Action action) { inputs_.push_back(std::move(action)); }
  void QueueBoxAnswer(int answer) { boxAnswers_.push_back(answer); }
  // Runs at every poll of the message pump with the top dialog and the count of
  // polls so far (1 for the first); what it returns is delivered.
  void OnPoll(std::function<std::optional<InputEvent>(DialogState&, int)> callback) {
    onPoll_ = std::move(callback);
  }

  // --- Records ---
  const std::vector<std::string>& log() const { return log_; }
  // The dialogs on screen, bottom first.
  const std::vector<DialogState*>& shown() const { return shown_; }
  int polls() const { return polls_; }

  // --- FrontEnd ---
  void ShowDialog(DialogState& dialog) override;
  void CloseDialog(DialogState& dialog, int result) override;
  void ControlChanged(DialogState& dialog, int controlId) override;
  InputEvent WaitForInput(DialogState& dialog) override;
  std::optional<InputEvent> PollInput(DialogState& dialog) override;
  int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) override;
  void BeginWaitCursor() override { log_.push_back("wait on"); }
  void EndWaitCursor() override { log_.push_back("wait off"); }
  void Beep() override { log_.push_back("beep"); }

 private:
  std::vector<std::string> ownLog_;
  std::vector<std::string>& log_;
  std::deque<Action> inputs_;
  std::deque<int> boxAnswers_;
  std::function<std::optional<InputEvent>(DialogState&, int)> onPoll_;
  std::vector<DialogState*> shown_;
  int polls_ = 0;
};

// The texts of a box's icon and buttons as the log writes them.
std::string BoxLogLine(const std::string& text, BoxButtons buttons, BoxIcon icon, int answer);

}  // namespace dravik
