#include "Console.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zel::cli {

#ifdef _WIN32

namespace {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

} // namespace

void Write(Stream stream, const std::string& text) {
    std::FILE* file = stream == Stream::Out ? stdout : stderr;
    std::fflush(file);
    HANDLE handle = GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (IsConsole(handle)) {
        const std::wstring wide = Widen(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

bool InputIsTerminal() {
    return IsConsole(GetStdHandle(STD_INPUT_HANDLE));
}

std::optional<std::string> ReadLine() {
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    if (IsConsole(handle)) {
        std::wstring line;
        wchar_t ch = 0;
        DWORD read = 0;
        while (ReadConsoleW(handle, &ch, 1, &read, nullptr) && read == 1) {
            if (ch == L'\n') return Narrow(line);
            if (ch != L'\r') line.push_back(ch);
        }
        if (line.empty()) return std::nullopt;
        return Narrow(line);
    }
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

#else

void Write(Stream stream, const std::string& text) {
    std::FILE* file = stream == Stream::Out ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

bool InputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

#endif

} // namespace zel::cli
