// The program's entry on Windows: wide arguments (any file name the system
// allows), converted to UTF-8 for the rest of the tool. Messages are UTF-8
// too: a console is switched to that code page for the run.
#include "platform/wide_win.h"
#include "tool_main.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(vseg::Narrow(argv[i]));
    const UINT codePage = GetConsoleOutputCP();
    if (codePage) SetConsoleOutputCP(CP_UTF8);
    const int status = vseg::ToolMain(args);
    if (codePage) SetConsoleOutputCP(codePage);
    return status;
}
