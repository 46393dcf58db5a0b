#pragma once
// A window that records what the download logic shows and answers from a script.
//
// Every message box, control change, progress message, code prompt, cursor change
// and EndDialog is logged in order. Boxes are answered from a queue (IDOK for an OK
// box, IDYES for a Yes/No box when the queue is empty); the code prompt types the
// scripted entries one by one and presses OK after each, and cancels when they run
// out. A callback may run during PumpMessages, which is where a test "clicks" a
// button in the middle of a run.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "downloader/platform/progress_bar.h"
#include "downloader/platform/window.h"

namespace dravik {

struct WindowEvent {
  enum class Kind {
    MessageBox,
    ItemText,
    EnableItem,
    ShowItem,
    Progress,
    CodePrompt,
    WaitCursor,
    EndDialog
  };
  Kind kind = Kind::MessageBox;
  std::string text;                      // MessageBox, ItemText
  BoxButtons buttons = BoxButtons::Ok;   // MessageBox
  BoxIcon icon = BoxIcon::None;          // MessageBox
  int controlId = 0;                     // ItemText, EnableItem, ShowItem, Progress
  bool flag = false;                     // EnableItem, ShowItem; WaitCursor: true = begin
  ProgressMessage message = PBM_GETPOS;  // Progress
  uintptr_t wParam = 0;                  // Progress
  intptr_t lParam = 0;                   // Progress
  int result = 0;  // MessageBox: the answer; CodePrompt: IDOK or IDCANCEL; EndDialog: result
  uint8_t machineType = 0;  // CodePrompt
};

struct BoxRecord {
  std::string text;
  BoxButtons buttons;
  BoxIcon icon;
  bool operator==(const BoxRecord&) const = default;
};

// One OK press in the code prompt and what the logic made of it.
struct CodeEntryRecord {
  std::string text;
  bool accepted;
};

class RecorderWindow final : public Window {
 public:
  // --- Script ---
  void QueueBoxAnswer(int answer) { boxAnswers_.push_back(answer); }
  // The next code prompt types these entries in turn, pressing OK after each; it
  // cancels when they run out before one is accepted (an empty list: cancel at once).
  void QueueCodePrompt(std::vector<std::string> entries) {
    promptScripts_.push_back(std::move(entries));
  }
  // Runs at every PumpMessages with the number of pumps so far (1 for the first).
  void OnPump(std::function<void(int)> callback) { onPump_ = std::move(callback); }

  // --- Records ---
  const std::vector<WindowEvent>& Events() const { return events_; }
  std::vector<BoxRecord> Boxes() const;
  std::vector<std::string> BoxTexts() const;
  const std::vector<CodeEntryRecord>& CodeEntries() const { return codeEntries_; }
  int PumpCount() const { return pumps_; }
  std::string ItemText(int controlId) const;
  // The bar state of a progress control (created at the control's defaults).
  ProgressBarState& Progress(int controlId) { return bars_[controlId]; }
  void ClearEvents() { events_.clear(); }

  // --- Window ---
  int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) override;
  void PumpMessages() override;
  void SetItemText(int controlId, const std::string& text) override;
  void EnableItem(int controlId, bool enabled) override;
  void ShowItem(int controlId, bool shown) override;
  intptr_t SendProgress(int controlId, ProgressMessage message, uintptr_t wParam,
                        intptr_t lParam) override;
  int RunCodePrompt(uint8_t machineType, const CodePromptHandler& onOk) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void EndDialog(int result) override;

 private:
  WindowEvent& Log(WindowEvent::Kind kind);

  std::vector<WindowEvent> events_;
  std::deque<int> boxAnswers_;
  std::deque<std::vector<std::string>> promptScripts_;
  std::vector<CodeEntryRecord> codeEntries_;
  std::function<void(int)> onPump_;
  std::map<int, ProgressBarState> bars_;
  std::map<int, std::string> texts_;
  int pumps_ = 0;
};

}  // namespace dravik
