// The window program on Windows: shows the conversion window; closing it ends the program.
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "ui/win32/frmConv.h"

#include <windows.h>

#include <commctrl.h>

#include <memory>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    zel::platform::RemoveTemporaryFilesOnInterrupt();

    // The one working set of the program, kept until it ends.
    auto ws = std::make_unique<zel::WorkingSet>();
    zel::ui::win32::frmConv window(*ws);
    if (!window.isOpen()) return 1;
    // A file opened with the program, or dropped on its icon, fills both name fields.
    window.fillFromCommandLine(GetCommandLineW());
    window.show(showCommand);
    zel::ui::win32::RunUntilClosed(window);
    return 0;
}

#endif // _WIN32
