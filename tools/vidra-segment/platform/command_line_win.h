// How a Windows program receives its arguments: one command line, split by
// the C runtime (CommandLineToArgvW's rules). Windows files only.
#pragma once

#include <string>
#include <vector>

namespace vseg {

// One argument quoted so that CommandLineToArgvW gives it back unchanged:
// quotes when it is empty or holds a space, tab or quote; a quote escaped
// with a backslash, and backslashes doubled where a quote follows them.
std::wstring QuoteArgument(const std::wstring& arg);
std::wstring BuildCommandLine(const std::vector<std::string>& argv);

// The program a child is started from: a name with a folder as it is (".exe"
// added when it has no extension), a bare name beside this executable first,
// then in each folder of PATH. "" when there is none.
std::string FindProgram(const std::string& name);

}  // namespace vseg
