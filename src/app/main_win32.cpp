// The window program on Windows: shows the conversion window, or the batch window when it is
// started with several files or a folder; closing the window ends the program.
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "platform/Platform.h"
#include "ui/win32/frmConv.h"

#include <windows.h>

#include <memory>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // First, before any thread: the batch window converts on a worker.
    zel::platform::RemoveTemporaryFilesOnInterrupt();

    // The one working set of the program, kept until it ends.
    auto ws = std::make_unique<zel::WorkingSet>();
    // Files opened with the program, dropped on its icon or sent to it from Explorer.
    const std::unique_ptr<zel::ui::win32::TableWindow> window =
        zel::ui::win32::WindowForCommandLine(*ws, GetCommandLineW());
    if (!window->isOpen()) return 1;
    window->show(showCommand);
    zel::ui::win32::RunUntilClosed(*window);
    return 0;
}

#endif // _WIN32
