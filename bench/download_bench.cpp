// A whole download into the simulated panel pacing at 115200 bit/s 8O1 over a
// pseudo-terminal. Reports the binary phase's payload throughput against the line
// rate (11 bits a character) and the downloader's CPU time per MiB sent.
//
//   download_bench [binary KiB, default 256]

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/pty_download.h"
#include "tools/dvx/package_image.h"
#include "tools/dvx/sample.h"

namespace {

constexpr uint32_t kBaudRate = 115200;
constexpr double kBitsPerCharacter = 11.0;  // start, 8 data, odd parity, stop
constexpr double kTarget = 0.97;
constexpr uint64_t kBlockBytes = 65536;

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t kib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  if (kib == 0) {
    std::fprintf(stderr, "usage: download_bench [binary KiB, at least 1]\n");
    return 1;
  }
  dvx::SampleOptions options;
  options.machineType = 0x05;
  options.binarySizes.clear();
  for (uint64_t left = kib * 1024; left > 0; left -= std::min(left, kBlockBytes)) {
    options.binarySizes.push_back(std::min(left, kBlockBytes));
  }
  const std::vector<std::vector<uint8_t>> blocks = dvx::SampleBlocks(options);

  panelsim::PanelConfig config;
  config.machineType = options.machineType;
  const panelsim::LineSettings line{kBaudRate, 8, panelsim::Parity::Odd, panelsim::StopBits::One};
  dravik::PanelOnPty panel(config, line, /*pace=*/true);
  if (!panel.Error().empty()) {
    std::fprintf(stderr, "download_bench: %s\n", panel.Error().c_str());
    return 1;
  }
  dravik::DownloaderOnPort downloader(panel.SlavePath(),
                                      dvx::PackageImage(options.machineType, blocks),
                                      dravik::SettingsAt(kBaudRate, 1));

  const double cpuBefore = ThreadCpuSeconds();
  downloader.Run();
  const double cpuRun = ThreadCpuSeconds() - cpuBefore;
  panel.Stop();

  const dravik::BinaryPhaseMeter& meter = downloader.Meter();
  const bool complete = downloader.EndResults() == std::vector<int>{dravik::IDOK} &&
                        panel.Received().binary.size() == options.binarySizes.size();
  if (!complete || !meter.ended || meter.payloadBytes == 0) {
    std::fprintf(stderr, "download_bench: the download did not complete\n");
    for (const std::string& box : downloader.Window().BoxTexts()) {
      std::fprintf(stderr, "  box: %s\n", box.c_str());
    }
    return 1;
  }
  const double seconds = static_cast<double>(meter.endNs - meter.startNs) / 1e9;
  const double cpu = static_cast<double>(meter.endCpuNs - meter.startCpuNs) / 1e9;
  const double mib = static_cast<double>(meter.payloadBytes) / (1024.0 * 1024.0);
  const double bound = kBaudRate / kBitsPerCharacter;
  const double throughput = static_cast<double>(meter.payloadBytes) / seconds;
  const double fraction = throughput / bound;

  std::printf("binary payload     %llu bytes in %llu packets, %zu blocks\n",
              static_cast<unsigned long long>(meter.payloadBytes),
              static_cast<unsigned long long>(meter.packets), options.binarySizes.size());
  std::printf("binary phase       %.3f s\n", seconds);
  std::printf("throughput         %.1f bytes/s of %.1f bytes/s line-rate bound: %.2f %%\n",
              throughput, bound, fraction * 100.0);
  std::printf(
      "protocol ceiling   %.2f %% (2040 payload bytes per 2048-byte frame and 9-byte reply)\n",
      2040.0 / (2048.0 + 9.0) * 100.0);
  // What the line needs for these packets: every frame and its 9-byte reply.
  const double wireCharacters = static_cast<double>(meter.payloadBytes + meter.packets * (8 + 9) +
                                                    2 * options.binarySizes.size());
  const double lineSeconds = wireCharacters * kBitsPerCharacter / kBaudRate;
  std::printf(
      "turnaround         %.3f ms a packet beyond the line time, of which %.3f ms in the "
      "downloader\n",
      (seconds - lineSeconds) * 1e3 / static_cast<double>(meter.packets),
      static_cast<double>(meter.hostTurnaroundNs) / 1e6 / static_cast<double>(meter.packets - 1));
  std::printf("downloader CPU     %.3f s in the binary phase, %.3f s per MiB; %.3f s whole run\n",
              cpu, cpu / mib, cpuRun);
  std::printf("target %.0f %%      %s\n", kTarget * 100.0, fraction >= kTarget ? "met" : "MISSED");
  return 0;
}
