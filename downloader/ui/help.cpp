#include "downloader/ui/help.h"

#include <cstdlib>

#include "downloader/platform/ascii.h"

namespace dravik {

namespace {
constexpr char kSeparator = '/';
constexpr size_t kPathRoom = 260;  // the buffers of the registry reads
constexpr size_t kVersionRoom = 128;

// A text value read into a buffer of room bytes without looking at its type.
std::optional<std::string> ReadText(Registry& registry, std::string_view key, std::string_view name,
                                    size_t room) {
  const auto value = registry.QueryValue(key, name);
  if (!value || value->data.size() > room) return std::nullopt;
  return value->Text();
}

// The folder above the program's own, its separator kept.
std::string ParentOfProgramFolder(std::string_view executablePath) {
  const size_t last = executablePath.rfind(kSeparator);
  if (last == std::string_view::npos) return {};
  const std::string_view programFolder = executablePath.substr(0, last);
  const size_t parent = programFolder.rfind(kSeparator);
  if (parent == std::string_view::npos) return {};
  return std::string(programFolder.substr(0, parent + 1));
}
}  // namespace

int GetLanguageIndex(Profile& profile) {
  const std::string name = profile.GetString("Language", "Language", "English");
  if (name.empty()) return -1;
  for (size_t i = 0; i < std::size(kLanguages); ++i) {
    if (EqualsIgnoreCase(name, kLanguages[i])) return static_cast<int>(i);
  }
  return -1;
}

std::string LocateHelpFile(Registry& registry, std::string_view executablePath, int language) {
  std::string folder;
  if (auto install = ReadText(registry, kKelvaneKey, "InstallLocation", kPathRoom)) {
    folder = *install + kSeparator;
  } else {
    folder = ParentOfProgramFolder(executablePath);
  }
  const bool known = language >= 0 && static_cast<size_t>(language) < std::size(kLanguages);
  const std::string_view valueName = known ? kLanguages[language] : std::string_view();
  return folder + ReadText(registry, kHelpFileKey, valueName, kPathRoom).value_or("");
}

OsVersionInfo CurrentOsVersion() {
  return {VER_PLATFORM_WIN32_NT, 0};
}

bool IsHelpViewerUsable(const OsVersionInfo& os, Registry& registry) {
  if (os.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS || os.dwMinorVersion != 0) return true;
  if (!registry.KeyExists(kBrowserKey)) return false;
  const auto version = ReadText(registry, kBrowserKey, "Version", kVersionRoom);
  if (!version || version->empty()) return false;
  const std::string major = version->substr(0, version->find('.'));
  return std::atoi(major.c_str()) >= 4;
}

void ShowHelp(HelpServices& help, const std::string& helpPath) {
  if (!IsHelpViewerUsable(help.os, help.registry)) return;
  if (!help.viewer.DisplayTopic(helpPath)) return;
  help.clock.Sleep(1000);
}

}  // namespace dravik
