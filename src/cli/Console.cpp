#include "cli/Console.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include "platform/Utf16.h"

#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

namespace zel::cli {

namespace {

#ifdef _WIN32

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

class StandardStreams : public Console {
public:
    WriteResult Write(Stream stream, const std::string& text) override {
        std::FILE* file = stream == Stream::Out ? stdout : stderr;
        HANDLE handle = GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        if (IsConsole(handle)) {
            const std::wstring wide = platform::Widen(text);
            DWORD written = 0;
            return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
                           written == wide.size()
                       ? WriteResult::Written
                       : WriteResult::Failed;
        }
        std::clearerr(file);
        _doserrno = 0;
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (std::fflush(file) == 0 && written) return WriteResult::Written;
        // The runtime keeps the system's own error code of the failed write. A pipe whose reader
        // has gone answers ERROR_NO_DATA (wine: ERROR_PIPE_NOT_CONNECTED), or ERROR_BROKEN_PIPE.
        const unsigned long error = _doserrno;
        return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED
                   ? WriteResult::BrokenPipe
                   : WriteResult::Failed;
    }

    bool InputIsTerminal() override { return IsConsole(GetStdHandle(STD_INPUT_HANDLE)); }

    std::optional<std::string> ReadLine() override {
        HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
        if (IsConsole(handle)) {
            std::wstring line;
            wchar_t ch = 0;
            DWORD read = 0;
            while (ReadConsoleW(handle, &ch, 1, &read, nullptr) && read == 1) {
                if (ch == L'\n') return platform::Narrow(line);
                if (ch != L'\r') line.push_back(ch);
            }
            if (line.empty()) return std::nullopt;
            return platform::Narrow(line);
        }
        return ReadStandardLine();
    }

private:
    static std::optional<std::string> ReadStandardLine() {
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
};

#else

class StandardStreams : public Console {
public:
    // Straight to the descriptor: nothing is held in a buffer that a failed write could leave
    // behind, and the error of the failed write itself tells a closed pipe.
    WriteResult Write(Stream stream, const std::string& text) override {
        const int fd = stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO;
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EPIPE) {
                return WriteResult::BrokenPipe;
            } else if (n == 0 || errno != EINTR) {
                return WriteResult::Failed;
            }
        }
        return WriteResult::Written;
    }

    bool InputIsTerminal() override { return isatty(STDIN_FILENO) != 0; }

    std::optional<std::string> ReadLine() override {
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
};

#endif

} // namespace

Console& SystemConsole() {
    static StandardStreams console;
    return console;
}

} // namespace zel::cli
