#include "CliApp.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

// The arguments arrive as UTF-16, so that file names in any script survive; the rest of the
// program works on UTF-8.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
        if (size > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    return zel::cli::RunCli(args);
}

#else

int main(int argc, char** argv) {
    return zel::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc));
}

#endif
