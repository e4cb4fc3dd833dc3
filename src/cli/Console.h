// Text in and out of the terminal, behind an interface so that the command line can be run
// in-process by tests. All texts are UTF-8; on Windows a console gets them as UTF-16 so that
// Japanese shows whatever the console's code page, while a pipe or file gets UTF-8 bytes.
#pragma once

#include <optional>
#include <string>

namespace zel::cli {

class Console {
public:
    enum class Stream { Out, Err };
    // How a write ended. BrokenPipe: the stream is a pipe whose reader has gone (POSIX EPIPE,
    // Windows ERROR_NO_DATA, ERROR_BROKEN_PIPE or ERROR_PIPE_NOT_CONNECTED); nothing written to it
    // will ever be read.
    enum class WriteResult { Written, Failed, BrokenPipe };
    virtual ~Console() = default;
    // Writes `text` as it is (no line break added) and flushes.
    [[nodiscard]] virtual WriteResult Write(Stream stream, const std::string& text) = 0;
    // True when standard input is a terminal (a console on Windows) that a person can answer from.
    virtual bool InputIsTerminal() = 0;
    // Reads one line from standard input without its line break; nothing at end of input.
    virtual std::optional<std::string> ReadLine() = 0;
};

// The process's own standard streams.
Console& SystemConsole();

} // namespace zel::cli
