// The batch window: the files that several dropped or named files, or a folder, stand for, listed
// with their formats and converted in place on one worker thread while the window shows each
// result as it comes.
#pragma once

#include "ui/qt/MessageBoxes.h"
#include "workflow/Batch.h"

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace zel::ui {

class frmBatch : public QWidget {
    Q_OBJECT
public:
    // Lists the files `names` stand for; nothing is converted until the user starts the run. With an
    // owner, the window is modal over it.
    explicit frmBatch(std::vector<std::string> names, QWidget* owner = nullptr);
    // Stops a run after its current file and waits for it.
    ~frmBatch() override;

    frmBatch(const frmBatch&) = delete;
    frmBatch& operator=(const frmBatch&) = delete;

    bool running() const { return worker_.joinable(); }

protected:
    // During a run, asks whether to stop after the current file and then close.
    void closeEvent(QCloseEvent* event) override;

private:
    void onStart();
    void onSave();
    void openRow(int row);
    // Shows what the worker has told since the last look, and ends the run when it has ended.
    void takeNews();
    void endRun(BatchEnd end);
    void showResult(std::size_t index);
    void showCounts();
    // Shows the listed files with no results yet.
    void fillList();
    void setButtons();

    std::vector<std::string> names_;
    std::vector<BatchFile> files_;
    std::vector<BatchOutcome> outcomes_; // as shown
    std::size_t taken_ = 0;              // files the run has taken so far
    bool ran_ = false;
    bool closeWhenEnded_ = false;
    MessageBoxes messages_{this};

    QTreeWidget* list_;
    QProgressBar* progress_;
    QLabel* counts_;
    QPushButton* start_;
    QPushButton* stop_;
    QPushButton* save_;

    // Shared with the worker. It tells each file's outcome and the end under the mutex; the window
    // looks every 50 ms.
    std::atomic<bool> stopRequested_{false};
    std::mutex newsMutex_;
    std::vector<std::pair<std::size_t, BatchOutcome>> news_;
    std::optional<BatchEnd> end_;
    std::vector<BatchOutcome> workerOutcomes_; // the worker's own until it is joined
    std::thread worker_;
    QTimer poll_;
};

} // namespace zel::ui
