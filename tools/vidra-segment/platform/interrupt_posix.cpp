#include "platform/interrupt.h"

#include <csignal>
#include <cstring>

namespace vseg {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnSignal(int) { g_interrupted = 1; }

}  // namespace

void InstallInterruptHandlers() {
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;  // no SA_RESTART: a blocked read returns
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

void RaiseInterrupt() { g_interrupted = 1; }

}  // namespace vseg
