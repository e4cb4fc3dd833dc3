// The batch window in Win32: the files that dropped or named files and folders stand for, converted
// while the window stays responsive; a row opens to show the file's messages; the results are saved
// as a report. The run itself (BatchRun) works on a thread of its own; the window draws it.
#pragma once
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32

#include "ui/win32/MessageBoxes.h"
#include "ui/win32/TableWindow.h"
#include "workflow/BatchRun.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zel::ui::win32 {

class frmBatch : public TableWindow {
public:
    // Asks where the report goes, suggesting a full name; the name chosen, or nothing when cancelled.
    using ReportChooser =
        std::function<std::optional<std::wstring>(HWND owner, const std::wstring& suggested)>;

    // Lists the files that `names` (full names of files and folders) stand for; converts nothing.
    // With an owner the window is shown modally over it; without one it is the program's window.
    frmBatch(HWND owner, std::vector<std::string> names);

    // The save dialog of the report button, opened at `suggested`.
    static std::optional<std::wstring> ChooseWithDialog(HWND owner, const std::wstring& suggested);

    // Replaces the save dialog (tests answer it without showing a dialog).
    void setReportChooser(ReportChooser chooser) { chooseReport_ = std::move(chooser); }
    // The message boxes of the window, whose showing tests may replace.
    MessageBoxes& messageBoxes() { return messages_; }

    const std::vector<BatchFile>& files() const { return run_.files(); }
    bool listing() const { return run_.listing(); }
    bool running() const { return run_.running(); }

protected:
    std::optional<LRESULT> handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Enter in the list opens the selected row.
    void enterIn(std::string_view name) override;

private:
    void onSave();
    void requestClose();
    void openRow(int row);
    // Draws what the run has told since the last look.
    void takeNews();
    void showState();
    // The text of a cell, for the virtual list.
    std::wstring cellText(std::size_t row, int column) const;

    MessageBoxes messages_;
    ReportChooser chooseReport_ = &frmBatch::ChooseWithDialog;
    HWND list_;
    // Last: its thread, which tells the window of news, ends before the rest goes.
    BatchRun run_;
};

} // namespace zel::ui::win32

#endif // _WIN32
