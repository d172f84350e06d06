// Interruption by the user (Ctrl-C, SIGTERM; a console control event on
// Windows): noted in a flag that the pipeline polls, never acted on inside
// the handler. One implementation per platform (interrupt_posix.cpp).
#pragma once

namespace vseg {

// Installs the handlers (and, on POSIX, ignores SIGPIPE: a dead encoder is
// seen as a failed write).
void InstallInterruptHandlers();

// True once an interruption arrived.
bool Interrupted();

// Raises the flag as an interruption would (for tests and the pipeline's own
// early stops).
void RaiseInterrupt();

}  // namespace vseg
