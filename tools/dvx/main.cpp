#include <iostream>
#include <string>
#include <vector>

#include "tools/dvx/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return dvx::RunDvx(args, std::cout, std::cerr);
}
