// The conversion window in Win32: the source and target name fields, the browse button, Convert,
// the version window and Close. Closing it ends the program.
#pragma once
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32

#include "ui/win32/MessageBoxes.h"
#include "ui/win32/TableWindow.h"
#include "workflow/Workflow.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zel::ui::win32 {

class frmConv : public TableWindow {
public:
    // Asks the user for an existing data file; its full name, or nothing when cancelled.
    using FileChooser = std::function<std::optional<std::wstring>(HWND owner)>;

    explicit frmConv(WorkingSet& ws);

    // The open-file dialog of the browse button: title, filter *.ZEL, the file must exist, no
    // read-only box. The name chosen, or nothing when the user cancels or the dialog fails.
    static std::optional<std::wstring> ChooseWithDialog(HWND owner);

    // Replaces the open-file dialog (tests answer it without showing a dialog).
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // The message boxes of the conversion, whose showing tests may replace.
    MessageBoxes& messageBoxes() { return messages_; }

    // The program's command line (its own name first): a file named there fills both name
    // fields, as when it is chosen with the browse button. Nothing is converted until the user asks.
    void fillFromCommandLine(const wchar_t* commandLine);

    const ConversionState& state() const { return state_; }

protected:
    // A file dropped on the window fills both name fields; several files or a folder open the batch
    // window.
    std::optional<LRESULT> handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void onBrowse();
    void onConvert();
    void onVersion();
    // Both fields receive `fullName`: by default a file is converted in place.
    void fillBothNames(const std::wstring& fullName);

    WorkingSet& ws_;
    ConversionState state_;
    MessageBoxes messages_;
    FileChooser chooseFile_ = &frmConv::ChooseWithDialog;
    HWND sourceField_;
    HWND targetField_;
};

// The names given on the program's command line (its own name first), as full names: relative
// names are taken from the current folder.
std::vector<std::wstring> CommandLineNames(const wchar_t* commandLine);

// The window the program shows for its command line: the batch window for several names or a
// folder, closing which ends the program; else the conversion window, with a file named there in
// both name fields. Nothing is converted until the user asks.
std::unique_ptr<TableWindow> WindowForCommandLine(WorkingSet& ws, const wchar_t* commandLine);

// The version window: created for one opening, shown modally over `owner`; OK, Enter, Esc and the
// close box close it.
class frmVersion : public TableWindow {
public:
    explicit frmVersion(HWND owner);
};

} // namespace zel::ui::win32

#endif // _WIN32
