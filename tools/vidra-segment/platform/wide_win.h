// UTF-8 inside the tool, UTF-16 at the Windows API (Windows files only).
#pragma once

#include <string>

namespace vseg {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The system's text for an error code (GetLastError), in UTF-8, no line end.
std::string SystemMessage(unsigned long code);
// The same for the calling thread's last error.
std::string LastError();

}  // namespace vseg
