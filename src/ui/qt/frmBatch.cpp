#include "ui/qt/frmBatch.h"

#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "ui/qt/TableWidgets.h"
#include "ui/table/WindowTable.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <ctime>

namespace zel::ui {

namespace {

QString Shown(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

constexpr int kResultColumn = 2;

} // namespace

frmBatch::frmBatch(std::vector<std::string> names, QWidget* owner)
    : QWidget(owner), names_(std::move(names)), files_(ListBatch(names_)), outcomes_(files_.size()) {
    BuildFromTable(*this, table::BatchWindow());
    if (owner) setWindowModality(Qt::WindowModal);
    list_ = ControlOf<QTreeWidget>(*this, table::kFileList);
    progress_ = ControlOf<QProgressBar>(*this, table::kProgressBar);
    counts_ = ControlOf<QLabel>(*this, table::kCountsLabel);
    start_ = ControlOf<QPushButton>(*this, table::kStartButton);
    stop_ = ControlOf<QPushButton>(*this, table::kStopButton);
    save_ = ControlOf<QPushButton>(*this, table::kSaveButton);

    fillList();

    connect(start_, &QPushButton::clicked, this, &frmBatch::onStart);
    connect(stop_, &QPushButton::clicked, this, [this] {
        stopRequested_ = true;
        setButtons();
    });
    connect(save_, &QPushButton::clicked, this, &frmBatch::onSave);
    connect(ControlOf<QPushButton>(*this, table::kBatchCloseButton), &QPushButton::clicked, this,
            &QWidget::close);
    // Enter or a double click on a row.
    connect(list_, &QTreeWidget::activated, this, [this](const QModelIndex& index) { openRow(index.row()); });
    connect(&poll_, &QTimer::timeout, this, &frmBatch::takeNews);
}

frmBatch::~frmBatch() {
    stopRequested_ = true;
    if (worker_.joinable()) worker_.join();
}

void frmBatch::fillList() {
    list_->clear();
    outcomes_.assign(files_.size(), BatchOutcome{});
    taken_ = 0;
    for (const BatchFile& file : files_)
        new QTreeWidgetItem(list_, {Shown(file.shownName), Shown(ListedFormatText(file.format)), QString()});
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    progress_->setRange(0, static_cast<int>(files_.size()));
    progress_->setValue(0);
    showCounts();
    setButtons();
}

void frmBatch::setButtons() {
    start_->setEnabled(!running() && !files_.empty());
    stop_->setEnabled(running() && !stopRequested_);
    save_->setEnabled(ran_ && !running());
}

void frmBatch::onStart() {
    if (running()) return;
    // Started again after a run (one that was stopped, say): the files are listed anew, since the
    // run has changed them, and the rest are converted. The question counts the files that would be
    // written; with none, there is nothing to confirm. No leaves the list and its results as they were.
    std::vector<BatchFile> files = ran_ ? ListBatch(names_) : files_;
    const std::size_t toConvert = FilesToConvert(files);
    if (toConvert > 0 && !messages_.AskYesNo(BatchConfirmText(toConvert))) return;
    if (ran_) {
        files_ = std::move(files);
        fillList();
        if (files_.empty()) return;
    }
    ran_ = true;
    stopRequested_ = false;
    end_.reset();
    workerOutcomes_.clear();
    // The one question has been answered for the whole run: every overwrite question is answered
    // Yes (an empty `answer`).
    worker_ = std::thread([this] {
        platform::HoldInterruptsInThisThread();
        BatchOptions options;
        options.workers = 1;
        options.stop = &stopRequested_;
        options.done = [this](std::size_t index, const BatchOutcome& outcome) {
            const std::lock_guard lock(newsMutex_);
            news_.emplace_back(index, outcome);
        };
        const BatchEnd end = RunBatch(files_, workerOutcomes_, options);
        const std::lock_guard lock(newsMutex_);
        end_ = end;
    });
    setButtons();
    poll_.start(50);
}

void frmBatch::takeNews() {
    std::vector<std::pair<std::size_t, BatchOutcome>> news;
    std::optional<BatchEnd> end;
    {
        const std::lock_guard lock(newsMutex_);
        news.swap(news_);
        end = end_;
    }
    for (auto& [index, outcome] : news) {
        if (index >= outcomes_.size()) continue;
        outcomes_[index] = std::move(outcome);
        showResult(index);
        list_->scrollToItem(list_->topLevelItem(static_cast<int>(index)));
        ++taken_;
    }
    if (!news.empty()) {
        progress_->setValue(static_cast<int>(std::min(taken_, files_.size())));
        showCounts();
    }
    if (end) endRun(*end);
}

void frmBatch::endRun(BatchEnd end) {
    poll_.stop();
    worker_.join();
    // The run's own record is the whole truth; what was told on the way is part of it.
    if (workerOutcomes_.size() == outcomes_.size()) outcomes_ = std::move(workerOutcomes_);
    for (std::size_t i = 0; i < outcomes_.size(); ++i)
        showResult(i);
    showCounts();
    setButtons();
    if (end == BatchEnd::DiskFull) messages_.Warn(kBatchDiskFullText);
    if (closeWhenEnded_) close();
}

void frmBatch::showResult(std::size_t index) {
    QTreeWidgetItem* row = list_->topLevelItem(static_cast<int>(index));
    const QString result = Shown(BatchResultText(outcomes_[index]));
    row->setText(kResultColumn, result);
    // The whole result where the column cuts it short.
    row->setToolTip(kResultColumn, result);
}

void frmBatch::showCounts() {
    BatchCounts counts;
    for (const BatchOutcome& outcome : outcomes_)
        counts.Add(outcome.result);
    counts_->setText(Shown(BatchCountsText(counts)));
}

void frmBatch::openRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= files_.size()) return;
    ShowBatchRow(files_[static_cast<std::size_t>(row)], outcomes_[static_cast<std::size_t>(row)], messages_);
}

void frmBatch::closeEvent(QCloseEvent* event) {
    if (!running()) {
        event->accept();
        return;
    }
    event->ignore();
    if (closeWhenEnded_ || !messages_.AskYesNo(kBatchCloseWhileRunningText)) return;
    // The run may have ended while the question was shown.
    if (!running()) {
        event->accept();
        return;
    }
    closeWhenEnded_ = true;
    stopRequested_ = true;
    setButtons();
}

void frmBatch::onSave() {
    QFileDialog dialog(this, Shown(table::kSaveDialogTitle),
                       QFile::decodeName(ReportFolder(names_, files_).c_str()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
#ifndef Q_OS_WIN
    dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog.setNameFilter(Shown(table::kSaveDialogFilterDescription));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(Shown(DefaultReportName(std::time(nullptr))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;

    const std::string name = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
    SaveBatchReport(name, files_, outcomes_, messages_);
}

} // namespace zel::ui
