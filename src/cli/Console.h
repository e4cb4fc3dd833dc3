// Text in and out of the terminal. All texts are UTF-8; on Windows a console gets them as UTF-16
// so that Japanese shows whatever the console's code page, while a pipe or file gets UTF-8 bytes.
#pragma once

#include <optional>
#include <string>

namespace zel::cli {

enum class Stream { Out, Err };

// Writes `text` as it is (no line break added) and flushes.
void Write(Stream stream, const std::string& text);

// True when standard input is a terminal (a console on Windows) that a person can answer from.
bool InputIsTerminal();

// Reads one line from standard input without its line break; nothing at end of input.
std::optional<std::string> ReadLine();

} // namespace zel::cli
