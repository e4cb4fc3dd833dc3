#include "ui/qt/frmBatch.h"

#include "ui/qt/TableWidgets.h"
#include "ui/table/WindowTable.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <ctime>

namespace zel::ui {

namespace {

QString Shown(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

constexpr int kResultColumn = 2;

} // namespace

frmBatch::frmBatch(std::vector<std::string> names, QWidget* owner)
    : QWidget(owner), run_(std::move(names), messages_, [this] {
          QMetaObject::invokeMethod(this, &frmBatch::takeNews, Qt::QueuedConnection);
      }) {
    BuildFromTable(*this, table::BatchWindow());
    if (owner) setWindowModality(Qt::WindowModal);
    list_ = ControlOf<QTreeWidget>(*this, table::kFileList);
    progress_ = ControlOf<QProgressBar>(*this, table::kProgressBar);
    counts_ = ControlOf<QLabel>(*this, table::kCountsLabel);
    start_ = ControlOf<QPushButton>(*this, table::kStartButton);
    undo_ = ControlOf<QPushButton>(*this, table::kUndoButton);
    stop_ = ControlOf<QPushButton>(*this, table::kStopButton);
    save_ = ControlOf<QPushButton>(*this, table::kSaveButton);

    connect(start_, &QPushButton::clicked, this, [this] {
        run_.Start();
        showState();
    });
    connect(undo_, &QPushButton::clicked, this, [this] {
        run_.StartUndo();
        showState();
    });
    connect(stop_, &QPushButton::clicked, this, [this] {
        run_.Stop();
        showState();
    });
    connect(save_, &QPushButton::clicked, this, &frmBatch::onSave);
    connect(ControlOf<QPushButton>(*this, table::kBatchCloseButton), &QPushButton::clicked, this,
            &QWidget::close);
    // Enter or a double click on a row.
    connect(list_, &QTreeWidget::activated, this,
            [this](const QModelIndex& index) { run_.OpenRow(static_cast<std::size_t>(index.row())); });
    showState();
}

void frmBatch::takeNews() {
    const BatchRun::News news = run_.TakeNews();
    if (news.listed) fillList();
    for (std::size_t index : news.rows)
        showResult(index);
    if (!news.rows.empty() && run_.running())
        list_->scrollToItem(list_->topLevelItem(static_cast<int>(news.rows.back())));
    showState();
    if (news.close) close();
}

void frmBatch::fillList() {
    list_->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(run_.files().size()));
    for (const BatchFile& file : run_.files())
        rows.append(
            new QTreeWidgetItem({Shown(file.shownName), Shown(ListedFormatText(file.format)), QString()}));
    list_->addTopLevelItems(rows);
    if (!rows.isEmpty()) list_->setCurrentItem(rows.front());
}

void frmBatch::showState() {
    progress_->setRange(0, static_cast<int>(run_.files().size()));
    progress_->setValue(static_cast<int>(run_.taken()));
    counts_->setText(Shown(run_.CountsText()));
    start_->setEnabled(run_.canStart());
    undo_->setEnabled(run_.canUndo());
    stop_->setEnabled(run_.canStop());
    save_->setEnabled(run_.canSave());
}

void frmBatch::showResult(std::size_t index) {
    QTreeWidgetItem* row = list_->topLevelItem(static_cast<int>(index));
    if (!row) return;
    const QString result = Shown(BatchResultText(run_.outcome(index)));
    row->setText(kResultColumn, result);
    // The whole result where the column cuts it short.
    row->setToolTip(kResultColumn, result);
}

void frmBatch::closeEvent(QCloseEvent* event) {
    if (run_.MayClose()) {
        event->accept();
    } else {
        event->ignore();
        showState();
    }
}

void frmBatch::onSave() {
    QFileDialog dialog(this, Shown(table::kSaveDialogTitle), QFile::decodeName(run_.ReportFolder().c_str()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
#ifndef Q_OS_WIN
    dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog.setNameFilter(Shown(table::kSaveDialogFilterDescription));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(Shown(DefaultReportName(std::time(nullptr))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    run_.SaveReport(QFile::encodeName(dialog.selectedFiles().front()).toStdString());
}

} // namespace zel::ui
