#include "platform/console.h"

#include <unistd.h>

namespace vseg {

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace vseg
