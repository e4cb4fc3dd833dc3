// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "ui/win32/frmBatch.h"

#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "platform/Utf16.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <ctime>

namespace zel::ui::win32 {

namespace {

// Posted by the worker when the run has ended.
constexpr UINT kRunEnded = WM_APP + 1;
// Shows what the worker has told, at least every 100 ms as the run goes.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressInterval = 50;

void SetCell(HWND list, std::size_t row, int column, const std::string& text) {
    std::wstring wide = platform::Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

} // namespace

frmBatch::frmBatch(HWND owner, std::vector<std::string> names)
    : TableWindow(table::BatchWindow(), owner), names_(std::move(names)), messages_(handle()),
      list_(control(table::kFileList)) {
    onClick(table::kStartButton, [this] { onStart(); });
    onClick(table::kStopButton, [this] {
        stop_ = true;
        enableButtons();
    });
    onClick(table::kSaveButton, [this] { onSave(); });
    onClick(table::kBatchCloseButton, [this] { requestClose(); });
    files_ = ListBatch(names_);
    fillList();
    enableButtons();
}

void frmBatch::fillList() {
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < files_.size(); ++i) {
        std::wstring shown = platform::Widen(files_[i].shownName);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = shown.data();
        SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SetCell(list_, i, 1, ListedFormatText(files_[i].format));
    }
    outcomes_.assign(files_.size(), BatchOutcome{});
    SendMessageW(control(table::kProgressBar), PBM_SETRANGE32, 0, static_cast<LPARAM>(files_.size()));
    if (!files_.empty())
        ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

frmBatch::~frmBatch() {
    if (worker_.joinable()) {
        stop_ = true;
        worker_.join();
    }
}

std::optional<std::wstring> frmBatch::ChooseWithDialog(HWND owner, const std::wstring& suggested) {
    return AskFileName(
        owner,
        {table::kSaveDialogTitle, table::kSaveDialogFilterDescription, table::kSaveDialogFilterPattern,
         OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR, true, L"csv"},
        suggested);
}

void frmBatch::onStart() {
    if (running()) return;
    // Listed anew after a run, since the files may have changed; No leaves the list and its results
    // as they were. Yes to this question is the answer to every overwrite question of the run.
    std::vector<BatchFile> files = ran_ ? ListBatch(names_) : files_;
    const std::size_t old = FilesToConvert(files);
    if (old > 0 && !messages_.AskYesNo(BatchConfirmText(old))) return;
    if (ran_) {
        files_ = std::move(files);
        fillList();
    }

    outcomes_.assign(files_.size(), BatchOutcome{});
    for (std::size_t i = 0; i < files_.size(); ++i)
        setRow(i);
    counts_ = {};
    taken_ = 0;
    ran_ = true;
    stop_ = false;
    closeAfterRun_ = false;
    told_.clear();
    workerOutcomes_.clear();
    takeOutcomes();
    worker_ = std::thread([this, window = handle()] {
        platform::HoldInterruptsInThisThread();
        BatchOptions options;
        options.workers = 1;
        options.stop = &stop_;
        options.done = [this](std::size_t index, const BatchOutcome& outcome) {
            const std::lock_guard<std::mutex> lock(mutex_);
            told_.emplace_back(index, outcome);
        };
        end_ = RunBatch(files_, workerOutcomes_, options);
        PostMessageW(window, kRunEnded, 0, 0);
    });
    SetTimer(handle(), kProgressTimer, kProgressInterval, nullptr);
    enableButtons();
}

void frmBatch::takeOutcomes() {
    std::vector<std::pair<std::size_t, BatchOutcome>> told;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        told.swap(told_);
    }
    for (auto& [index, outcome] : told) {
        if (index >= outcomes_.size()) continue;
        outcomes_[index] = std::move(outcome);
        counts_.Add(outcomes_[index].result);
        ++taken_;
        setRow(index);
        SendMessageW(list_, LVM_ENSUREVISIBLE, index, FALSE);
    }
    SetWindowTextW(control(table::kCountsLabel), platform::Widen(BatchCountsText(counts_)).c_str());
    SendMessageW(control(table::kProgressBar), PBM_SETPOS, taken_, 0);
}

void frmBatch::finishRun() {
    if (!worker_.joinable()) return;
    worker_.join();
    KillTimer(handle(), kProgressTimer);
    takeOutcomes();
    enableButtons();
    if (end_ == BatchEnd::DiskFull) messages_.Warn(kBatchDiskFullText);
    if (closeAfterRun_) close();
}

void frmBatch::setRow(std::size_t index) {
    SetCell(list_, index, 2, BatchResultText(outcomes_[index]));
}

void frmBatch::enableButtons() {
    const bool run = running();
    const std::pair<std::string_view, bool> states[] = {
        {table::kStartButton, !run && !files_.empty()},
        {table::kStopButton, run && !stop_},
        {table::kSaveButton, !run && ran_},
    };
    for (const auto& [name, enabled] : states) {
        HWND button = control(name);
        // A button that goes grey gives the focus to the list, so that Tab and the keys still work.
        if (!enabled && GetFocus() == button) SetFocus(list_);
        EnableWindow(button, enabled);
    }
}

void frmBatch::requestClose() {
    if (running()) {
        if (closeAfterRun_ || !messages_.AskYesNo(kBatchCloseWhileRunningText)) return;
        // The run may have ended while the question was shown; else the window closes as soon as
        // the file being converted is done.
        if (running()) {
            closeAfterRun_ = true;
            stop_ = true;
            enableButtons();
            return;
        }
    }
    close();
}

void frmBatch::openRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= outcomes_.size()) return;
    ShowBatchRow(files_[static_cast<std::size_t>(row)], outcomes_[static_cast<std::size_t>(row)], messages_);
}

void frmBatch::enterIn(std::string_view name) {
    if (name == table::kFileList)
        openRow(static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_SELECTED)));
}

void frmBatch::onSave() {
    const std::string folder = ReportFolder(names_, files_);
    const bool separated = folder.empty() || platform::IsSeparator(folder.back());
    const std::string suggested = folder + (separated ? "" : std::string(1, platform::kSeparator)) +
                                  DefaultReportName(std::time(nullptr));
    const std::optional<std::wstring> chosen =
        chooseReport_ ? chooseReport_(handle(), platform::Widen(suggested)) : std::nullopt;
    if (!chosen) return;
    SaveBatchReport(platform::Narrow(*chosen), files_, outcomes_, messages_);
}

std::optional<LRESULT> frmBatch::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam != kProgressTimer) return std::nullopt;
        takeOutcomes();
        return 0;
    case kRunEnded:
        finishRun();
        return 0;
    case WM_CLOSE:
        requestClose();
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom != list_ || header->code != LVN_ITEMACTIVATE) return std::nullopt;
        openRow(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
        return 0;
    }
    default:
        return std::nullopt;
    }
}

} // namespace zel::ui::win32

#endif // _WIN32
