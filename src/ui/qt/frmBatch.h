// The batch window: the files that several dropped or named files, or a folder, stand for, listed
// with their formats and converted in place while the window shows each result as it comes. The
// run itself (BatchRun) works on a thread of its own; the window draws it.
#pragma once

#include "ui/qt/MessageBoxes.h"
#include "workflow/BatchRun.h"

#include <QWidget>

#include <string>
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

    frmBatch(const frmBatch&) = delete;
    frmBatch& operator=(const frmBatch&) = delete;

    bool listing() const { return run_.listing(); }
    bool running() const { return run_.running(); }

protected:
    // During a run, asks whether to stop after the current file and then close.
    void closeEvent(QCloseEvent* event) override;

private:
    void onSave();
    // Draws what the run has told since the last look.
    void takeNews();
    void showResult(std::size_t index);
    // Shows the listed files with their results, in one step.
    void fillList();
    void showState();

    MessageBoxes messages_{this};
    QTreeWidget* list_;
    QProgressBar* progress_;
    QLabel* counts_;
    QPushButton* start_;
    QPushButton* undo_;
    QPushButton* stop_;
    QPushButton* save_;
    // Last: its thread, which tells the window of news, ends before the rest goes.
    BatchRun run_;
};

} // namespace zel::ui
