#include "ui/qt/frmConv.h"

#include "ui/qt/TableWidgets.h"
#include "ui/qt/frmVersion.h"
#include "ui/table/WindowTable.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

namespace zel::ui {

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The full name of the one file that a drag carries, or nothing for folders, several files or
// anything else.
std::optional<QString> DraggedFile(const QMimeData* data) {
    if (!data || data->urls().size() != 1) return std::nullopt;
    const QUrl url = data->urls().front();
    if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile()) return std::nullopt;
    return QDir::toNativeSeparators(QFileInfo(url.toLocalFile()).absoluteFilePath());
}

} // namespace

frmConv::frmConv(WorkingSet& ws, QWidget* parent) : QWidget(parent), ws_(ws) {
    BuildFromTable(*this, table::ConversionWindow());
    sourceField_ = ControlOf<QLineEdit>(*this, table::kSourceField);
    targetField_ = ControlOf<QLineEdit>(*this, table::kTargetField);

    connect(ControlOf<QPushButton>(*this, table::kBrowseButton), &QPushButton::clicked, this,
            &frmConv::onBrowse);
    connect(ControlOf<QPushButton>(*this, table::kConvertButton), &QPushButton::clicked, this,
            &frmConv::onConvert);
    connect(ControlOf<QPushButton>(*this, table::kVersionButton), &QPushButton::clicked, this,
            &frmConv::onVersion);
    connect(ControlOf<QPushButton>(*this, table::kCloseButton), &QPushButton::clicked, this, &QWidget::close);

    // The fields would take a dropped file as the text of its URL; the window takes it instead.
    setAcceptDrops(true);
    sourceField_->setAcceptDrops(false);
    targetField_->setAcceptDrops(false);

    // The workflow settles the target name before it asks or tells anything: the field shows it at once.
    state_.targetSettled = [this](const std::string& name) {
        targetField_->setText(QString::fromStdString(name));
    };
}

void frmConv::fillFromCommandLine(const QStringList& arguments) {
    if (arguments.size() < 2 || arguments.at(1).isEmpty()) return;
    fillBothNames(QDir::toNativeSeparators(QFileInfo(arguments.at(1)).absoluteFilePath()));
}

void frmConv::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void frmConv::dropEvent(QDropEvent* event) {
    const std::optional<QString> file = DraggedFile(event->mimeData());
    if (!file) return;
    event->acceptProposedAction();
    fillBothNames(*file);
}

std::optional<QString> frmConv::ChooseWithDialog(QWidget* parent) {
    QFileDialog dialog(parent, Utf8(table::kOpenDialogTitle));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
#ifndef Q_OS_WIN
    // Qt's own dialog matches the pattern in any letter case, so site.zel is listed as well as
    // SITE.ZEL; the native dialogs of Linux desktops would match capitals only.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
#endif
    // Qt takes the patterns from the parentheses of the description, which name the table's pattern.
    dialog.setNameFilter(Utf8(table::kOpenDialogFilterDescription));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().front());
}

void frmConv::fillBothNames(const QString& fullName) {
    sourceField_->setText(fullName);
    targetField_->setText(fullName);
}

void frmConv::onBrowse() {
    const std::optional<QString> chosen = chooseFile_ ? chooseFile_(this) : std::nullopt;
    if (chosen) fillBothNames(*chosen);
}

void frmConv::onConvert() {
    state_.sourceName = sourceField_->text().toStdString();
    state_.targetName = targetField_->text().toStdString();
    (void)RunConversion(state_, ws_, messages_); // its messages have told the user how it ended
}

void frmConv::onVersion() {
    frmVersion version(this);
    version.exec();
}

} // namespace zel::ui
