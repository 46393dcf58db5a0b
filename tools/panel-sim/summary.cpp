#include "tools/panel-sim/summary.h"

namespace panelsim {

namespace {

std::string_view EndText(RunEnd end) {
  switch (end) {
    case RunEnd::Finished:
      return "download finished";
    case RunEnd::Stopped:
      return "stopped";
    case RunEnd::Idle:
      return "idle limit reached";
    case RunEnd::Failed:
      return "line failed";
  }
  return "";
}

}  // namespace

std::string FormatSummary(RunEnd end, const PanelStats& stats, const Recording& received,
                          uint32_t opens) {
  std::string text = "panel-sim: " + std::string(EndText(end)) + "\n";
  for (size_t i = 0; i < received.text.size(); ++i) {
    text += "block " + std::to_string(i + 1) + ": " + std::to_string(received.text[i].size()) +
            " records\n";
  }
  for (size_t i = 0; i < received.binary.size(); ++i) {
    text += "block " + std::to_string(kFirstBinaryBlock + i) + ": " +
            std::to_string(received.binary[i].size()) + " bytes\n";
  }
  text += "opens " + std::to_string(opens) + ", frames " + std::to_string(stats.frames) +
          ", records " + std::to_string(stats.records) + ", identifications " +
          std::to_string(stats.identifications) + ", restarts " + std::to_string(stats.restarts) +
          "\n";
  text += "faults " + std::to_string(stats.faults) + ", refused " + std::to_string(stats.refusals) +
          ", retransmissions " + std::to_string(stats.retransmissions) + ", abandoned blocks " +
          std::to_string(stats.abandonedBlocks) + ", ignored bytes " +
          std::to_string(stats.ignoredBytes) + (stats.hung ? ", hung" : "") + "\n";
  if (stats.recordErrors != 0) {
    text += "record errors " + std::to_string(stats.recordErrors) + "\n";
  }
  return text;
}

int ExitStatus(RunEnd end) {
  switch (end) {
    case RunEnd::Finished:
    case RunEnd::Stopped:
      return 0;
    case RunEnd::Idle:
      return 2;
    case RunEnd::Failed:
      break;
  }
  return 1;
}

}  // namespace panelsim
