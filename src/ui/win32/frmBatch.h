// The batch window in Win32: the files that dropped or named files and folders stand for, converted
// one after the other on a worker thread while the window stays responsive; a row opens to show the
// file's messages; the results are saved as a report.
#pragma once
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32

#include "ui/win32/MessageBoxes.h"
#include "ui/win32/TableWindow.h"
#include "workflow/Batch.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
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
    ~frmBatch() override;

    // The save dialog of the report button, opened at `suggested`.
    static std::optional<std::wstring> ChooseWithDialog(HWND owner, const std::wstring& suggested);

    // Replaces the save dialog (tests answer it without showing a dialog).
    void setReportChooser(ReportChooser chooser) { chooseReport_ = std::move(chooser); }
    // The message boxes of the window, whose showing tests may replace.
    MessageBoxes& messageBoxes() { return messages_; }

    const std::vector<BatchFile>& files() const { return files_; }
    bool running() const { return worker_.joinable(); }

protected:
    std::optional<LRESULT> handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Enter in the list opens the selected row.
    void enterIn(std::string_view name) override;

private:
    // Shows the listed files with their formats and no results.
    void fillList();
    void onStart();
    void onSave();
    void requestClose();
    void openRow(int row);
    // Shows the outcomes the worker has told since the last call.
    void takeOutcomes();
    void finishRun();
    void enableButtons();
    void setRow(std::size_t index);

    std::vector<std::string> names_;
    std::vector<BatchFile> files_;
    std::vector<BatchOutcome> outcomes_; // what the window shows
    BatchCounts counts_;
    std::size_t taken_ = 0;
    bool ran_ = false;
    bool closeAfterRun_ = false;
    MessageBoxes messages_;
    ReportChooser chooseReport_ = &frmBatch::ChooseWithDialog;
    HWND list_;

    // Shared with the worker.
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::pair<std::size_t, BatchOutcome>> told_; // under mutex_
    std::vector<BatchOutcome> workerOutcomes_;               // the worker's until it is joined
    BatchEnd end_ = BatchEnd::Finished;                      // set by the worker before it ends
};

} // namespace zel::ui::win32

#endif // _WIN32
