#pragma once
// The help viewer on Linux: the desktop's opener (xdg-open) shows the help file
// with whatever program the desktop has for its type.

#include <string>

#include "downloader/ui/help.h"

namespace dravik {

class DesktopHelpViewer final : public HelpViewer {
 public:
  // opener: the program to start with the path as its one argument, looked up on
  // PATH when it has no slash.
  explicit DesktopHelpViewer(std::string opener = "xdg-open") : opener_(std::move(opener)) {}

  // Starts the opener detached, its standard streams on /dev/null so that a text
  // browser it may choose cannot take over the terminal. False when the opener is
  // not installed or cannot be started.
  bool DisplayTopic(const std::string& path) override;

 private:
  std::string opener_;
};

// Whether program can be run: a path to an executable file, or a name found on PATH.
bool IsProgramAvailable(const std::string& program);

}  // namespace dravik
