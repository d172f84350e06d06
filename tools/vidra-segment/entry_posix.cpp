// The program's entry on POSIX: arguments are bytes, taken as UTF-8.
#include "tool_main.h"

int main(int argc, char** argv) { return vseg::ToolMain(std::vector<std::string>(argv, argv + argc)); }
