// Ctrl-C and Ctrl-Break in the console: the same flag as SIGINT on POSIX.
// The handler runs on a thread of its own that the system starts; it only
// notes the event (the pipeline polls the flag and finishes the outputs).
#include "platform/interrupt.h"

#include <windows.h>

#include <atomic>

namespace vseg {
namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;  // closing: the default (exit)
    g_interrupted = true;
    return TRUE;
}

}  // namespace

void InstallInterruptHandlers() {
    // Ctrl-C may have been switched off by whoever started us (a process
    // started in a new group inherits that): switch it back on.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() { return g_interrupted; }

void RaiseInterrupt() { g_interrupted = true; }

}  // namespace vseg
