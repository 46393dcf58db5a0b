// panel-sim: the project's own panel on a pseudo-terminal (see docs/panel-sim.md).

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "downloader/platform/clock.h"
#include "tools/panel-sim/options.h"
#include "tools/panel-sim/panel_core.h"
#include "tools/panel-sim/pty_transport.h"
#include "tools/panel-sim/recording.h"
#include "tools/panel-sim/summary.h"

namespace {

std::atomic<bool> gStop{false};

void OnSignal(int) {
  gStop.store(true);
}

void InstallSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // A closed terminal (SIGHUP) stops it like Ctrl-C, so the path file goes too.
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// Written under another name and renamed, so a waiting test reads the whole path or none.
bool WritePathFile(const std::string& file, const std::string& path) {
  const std::string partial = file + ".part";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << path << '\n';
    if (!out.flush()) return false;
  }
  std::error_code code;
  std::filesystem::rename(partial, file, code);
  return !code;
}

panelsim::EventLog VerboseLog(dravik::Clock& clock) {
  return [&clock](std::string_view line) {
    std::fprintf(stderr, "panel-sim %8lld ms: %.*s\n", static_cast<long long>(clock.ProcessClock()),
                 static_cast<int>(line.size()), line.data());
  };
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "panel-sim: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  std::string error;
  std::optional<panelsim::Options> options = panelsim::ParseOptions(args, &error);
  if (!options) {
    Fail(error);
    std::fputs(panelsim::UsageText().data(), stderr);
    return 1;
  }
  if (options->help) {
    std::fputs(panelsim::UsageText().data(), stdout);
    return 0;
  }
  InstallSignals();

  std::unique_ptr<panelsim::FolderRecorder> recorder;
  if (!options->recordFolder.empty()) {
    recorder = panelsim::FolderRecorder::Create(options->recordFolder, &error);
    if (!recorder) return Fail(error);
  }
  std::unique_ptr<panelsim::PtyTransport> transport = panelsim::PtyTransport::Open(&error);
  if (!transport) return Fail(error);
  // The file first: whoever reads the line on stdout may look for the file next.
  if (!options->pathFile.empty() && !WritePathFile(options->pathFile, transport->SlavePath())) {
    return Fail("cannot write " + options->pathFile);
  }
  std::printf("%s\n", transport->SlavePath().c_str());
  std::fflush(stdout);

  dravik::SteadyClock clock;
  const panelsim::EventLog log = options->verbose ? VerboseLog(clock) : panelsim::EventLog{};
  panelsim::PanelCore panel(std::move(options->panel), clock, recorder.get(), log);
  const panelsim::RunEnd end = transport->Run(panel, clock, options->transport, gStop, log);
  panel.Finish();

  std::fputs(
      panelsim::FormatSummary(end, panel.Stats(), panel.Received(), transport->Opens()).c_str(),
      stdout);
  std::fflush(stdout);
  if (!options->pathFile.empty()) {
    std::error_code ignored;
    std::filesystem::remove(options->pathFile, ignored);
  }
  return panelsim::ExitStatus(end);
}
