#include "platform/console.h"

#include <windows.h>

namespace vseg {

// A console answers GetConsoleMode; a pipe or a file does not.
bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace vseg
