// The terminal, one implementation per platform (console_posix.cpp).
#pragma once

namespace vseg {

// Whether standard error is a terminal (the progress bar is shown then).
bool StderrIsTerminal();

}  // namespace vseg
