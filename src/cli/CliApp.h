// The command-line converter: argument parsing, the runs over the named files and the summary.
#pragma once

#include "cli/Console.h"

#include <string>
#include <vector>

namespace zel::cli {

inline constexpr int kExitOk = 0;     // every file converted or needing no conversion
inline constexpr int kExitFailed = 1; // a file was refused, skipped or failed
inline constexpr int kExitUsage = 2;  // the command line was wrong
inline constexpr int kExitOutput = 3; // standard output or standard error could not be written

// Runs the program on its arguments (without the program name, UTF-8) with `console` as its
// terminal and returns the exit status.
int RunCli(const std::vector<std::string>& args, Console& console);

} // namespace zel::cli
