#pragma once
// Language and help: the help language from the profile, the help file of the
// installed Kelvane, and the request that opens it.

#include <cstdint>
#include <string>
#include <string_view>

#include "downloader/platform/clock.h"
#include "downloader/platform/profile.h"
#include "downloader/platform/registry.h"

namespace dravik {

inline constexpr std::string_view kLanguages[] = {
    "English", "Japanese", "Chinese_s", "Chinese_t", "Korean", "Thai",
    "Turkish", "German",   "Italian",   "Spanish",   "French",
};

inline constexpr char kKelvaneKey[] = "Software\\Ostrel Terminal\\Kelvane";
inline constexpr char kHelpFileKey[] = "Software\\Ostrel Terminal\\Kelvane\\HELP_FILE\\Dravik";
inline constexpr char kBrowserKey[] = "Software\\Microsoft\\Internet Explorer";

// The index in kLanguages of the profile's [Language] Language (default
// "English"), matched without regard to case; -1 for an empty or unknown name.
int GetLanguageIndex(Profile& profile);

// The help file's full path: Kelvane's InstallLocation with a separator appended,
// or else the folder above the program's own; then the file name registered for
// the language (the key's default value for -1), or nothing.
std::string LocateHelpFile(Registry& registry, std::string_view executablePath, int language);

// GetVersionExA's platform id and minor version.
struct OsVersionInfo {
  uint32_t dwPlatformId = 0;
  uint32_t dwMinorVersion = 0;
};
inline constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

// The system this runs on. Linux has no Windows 95 family and counts as the NT
// family, so the browser check below never applies to it.
OsVersionInfo CurrentOsVersion();

// Whether the help viewer can be used: always, except on the first Windows 95,
// where it needs a browser of major version 4 or later.
bool IsHelpViewerUsable(const OsVersionInfo& os, Registry& registry);

// The help viewer (HtmlHelpA with HH_DISPLAY_TOPIC): opens the file at its default
// topic and returns without waiting for the viewer. False when no viewer could be
// started.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual bool DisplayTopic(const std::string& path) = 0;
};

struct HelpServices {
  Registry& registry;
  HelpViewer& viewer;
  Clock& clock;
  OsVersionInfo os;
};

// The help request: when the viewer is usable, opens helpPath and then holds the
// program for one second, as the viewer comes up; nothing when it is not usable or
// could not be started.
void ShowHelp(HelpServices& help, const std::string& helpPath);

}  // namespace dravik
