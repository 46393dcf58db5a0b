#pragma once
// Where the program's profile lies: beside the executable, whatever the current
// directory.

#include <string>
#include <string_view>

namespace dravik {

// The profile path for an executable path: the executable's folder, its trailing
// separator kept, followed by "Dravik.ini". A path without a separator gives the
// bare file name.
std::string ProfilePathFor(std::string_view executablePath);

// The profile path of the running program.
std::string ProfilePath();

}  // namespace dravik
