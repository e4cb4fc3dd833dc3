#include "cli/CliApp.h"
#include "platform/Platform.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/Utf16.h"

// The arguments arrive as UTF-16, so that file names in any script survive; the rest of the
// program works on UTF-8.
int wmain(int argc, wchar_t** argv) {
    if (!zel::platform::OpenClosedStandardDescriptors()) return zel::cli::kExitOutput;
    zel::platform::RemoveTemporaryFilesOnInterrupt();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(zel::platform::Narrow(argv[i]));
    return zel::cli::RunCli(args, zel::cli::SystemConsole());
}

#else

#include <csignal>

int main(int argc, char** argv) {
    // Before anything is opened: console text for a closed stream must not go into a data file.
    if (!zel::platform::OpenClosedStandardDescriptors()) return zel::cli::kExitOutput;
    // A closed pipe is a failed write that stops the run between files (RunCli), not a signal
    // that would end the program in the middle of one.
    std::signal(SIGPIPE, SIG_IGN);
    zel::platform::RemoveTemporaryFilesOnInterrupt();
    return zel::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), zel::cli::SystemConsole());
}

#endif
