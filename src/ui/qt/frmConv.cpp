#include "ui/qt/frmConv.h"

#include "platform/Platform.h"
#include "ui/qt/TableWidgets.h"
#include "ui/qt/frmBatch.h"
#include "ui/qt/frmVersion.h"
#include "ui/table/WindowTable.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
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

// The full names of the files and folders that a drag carries, as the system takes them; nothing
// when it carries anything else as well (a web address, text).
std::optional<std::vector<std::string>> DraggedNames(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty()) return std::nullopt;
    std::vector<std::string> names;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return std::nullopt;
        names.push_back(QFile::encodeName(QFileInfo(url.toLocalFile()).absoluteFilePath()).toStdString());
    }
    return names;
}

// One existing file fills the name fields; several names or a folder go to the batch window.
bool Takes(const std::vector<std::string>& names) {
    return NamesMakeABatch(names) || platform::KindOfName(names.front()) == platform::NameKind::File;
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

std::unique_ptr<QWidget> WindowForArguments(WorkingSet& ws, int argc, char** argv) {
    // The names byte for byte: several files or a folder, dropped on the icon or sent from the file
    // manager.
    std::vector<std::string> names(argv + 1, argv + argc);
    if (NamesMakeABatch(names)) return std::make_unique<frmBatch>(std::move(names));
    auto window = std::make_unique<frmConv>(ws);
    // A file opened with the program, or dropped on its icon, fills both name fields.
    window->fillFromCommandLine(QApplication::arguments());
    return window;
}

void frmConv::fillFromCommandLine(const QStringList& arguments) {
    if (arguments.size() < 2 || arguments.at(1).isEmpty()) return;
    fillBothNames(QDir::toNativeSeparators(QFileInfo(arguments.at(1)).absoluteFilePath()));
}

void frmConv::dragEnterEvent(QDragEnterEvent* event) {
    const auto names = DraggedNames(event->mimeData());
    if (names && Takes(*names)) event->acceptProposedAction();
}

void frmConv::dropEvent(QDropEvent* event) {
    auto names = DraggedNames(event->mimeData());
    if (!names || !Takes(*names)) return;
    event->acceptProposedAction();
    if (!NamesMakeABatch(*names)) {
        fillBothNames(QDir::toNativeSeparators(QFile::decodeName(names->front().c_str())));
        return;
    }
    // Modal over this window, which stays open when it closes.
    auto* batch = new frmBatch(std::move(*names), this);
    batch->setAttribute(Qt::WA_DeleteOnClose);
    batch->show();
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
