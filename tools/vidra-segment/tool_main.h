// vidra-segment's entry, once the platform's entry point has the arguments
// as UTF-8 (entry_posix.cpp; a Windows port adds entry_win.cpp with wmain).
#pragma once

#include <string>
#include <vector>

namespace vseg {

int ToolMain(const std::vector<std::string>& args);

}  // namespace vseg
