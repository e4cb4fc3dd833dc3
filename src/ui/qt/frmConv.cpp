#include "ui/qt/frmConv.h"

#include "ui/qt/Fonts.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/frmVersion.h"
#include "workflow/ProgramInfo.h"

#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace zel::ui {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    // Enter must not press a button of this window, not even the one that has the focus.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLineEdit* MakeField(QWidget* parent, const char* name, QRect geometry) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(geometry);
    field->setFont(GothicFont(9));
    return field;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

frmConv::frmConv(WorkingSet& ws, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ws_(ws) {
    setObjectName(QStringLiteral("frmConv"));
    setFont(GothicFont(9));
    setFixedSize(497, 246);
    setWindowTitle(QStringLiteral(ZELCONV_APP_TITLE));
    setWindowIcon(AppIcon());

    MakeLabel(this, "Label3_0", QStringLiteral("■変換するファイル名を指定して下さい"),
              QRect(12, 16, 229, 15));
    sourceField_ = MakeField(this, "imText1", QRect(24, 34, 411, 21));
    auto* browseButton = MakeButton(this, "Command1", QStringLiteral("参照"), QRect(436, 34, 53, 21));

    MakeLabel(this, "Label4", QStringLiteral("↓"), QRect(190, 60, 43, 35))->setFont(GothicFont(18, true));

    MakeLabel(this, "Label3_2", QStringLiteral("■変換後のファイル名を指定して下さい"),
              QRect(12, 90, 211, 15));
    targetField_ = MakeField(this, "imText2", QRect(24, 108, 411, 21));

    auto* frame = new QGroupBox(QStringLiteral("プログラム説明"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(6, 146, 483, 57);
    auto* purpose =
        MakeLabel(frame, "Label2",
                  QStringLiteral("これはカルトゥーバ Version1.04より前のシステムで作成したファイルを、新"
                                 "しいバージョン（カルトゥーバVersion1.04以降）に変換するプログラムです。"),
                  QRect(12, 22, 469, 31));
    purpose->setWordWrap(true);

    auto* versionButton =
        MakeButton(this, "Command2", QStringLiteral("バージョン情報"), QRect(12, 214, 107, 25));
    auto* convertButton = MakeButton(this, "CmdConv", QString(), QRect(268, 214, 107, 25));
    convertButton->setIcon(ConvertFace());
    convertButton->setIconSize(QSize(94, 24));
    convertButton->setAccessibleName(QStringLiteral("データ変換"));
    auto* closeButton = MakeButton(this, "CmdClose", QStringLiteral("終了"), QRect(382, 214, 107, 25));

    setTabOrder(sourceField_, browseButton);
    setTabOrder(browseButton, targetField_);
    setTabOrder(targetField_, versionButton);
    setTabOrder(versionButton, convertButton);
    setTabOrder(convertButton, closeButton);

    connect(browseButton, &QPushButton::clicked, this, &frmConv::onBrowse);
    connect(convertButton, &QPushButton::clicked, this, &frmConv::onConvert);
    connect(versionButton, &QPushButton::clicked, this, &frmConv::onVersion);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    // The workflow settles the target name before it asks or tells anything: the field shows it at once.
    state_.targetSettled = [this](const std::string& name) {
        targetField_->setText(QString::fromStdString(name));
    };

    centreOnScreen();
    sourceField_->setFocus();
}

void frmConv::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // Creating the native window first lets the platform tell the size of the frame around the
    // client area, where it knows it before the window is shown.
    winId();
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

std::optional<QString> frmConv::ChooseWithDialog(QWidget* parent) {
    QFileDialog dialog(parent, kOpenTitle);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
#ifndef Q_OS_WIN
    // Qt's own dialog matches the pattern in any letter case, so site.zel is listed as well as
    // SITE.ZEL; the native dialogs of Linux desktops would match capitals only.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
#endif
    dialog.setNameFilter(kOpenFilter);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen.front());
}

void frmConv::onBrowse() {
    const std::optional<QString> chosen = chooseFile_ ? chooseFile_(this) : std::nullopt;
    if (!chosen) return;
    sourceField_->setText(*chosen);
    targetField_->setText(*chosen);
}

void frmConv::onConvert() {
    state_.sourceName = sourceField_->text().toStdString();
    state_.targetName = targetField_->text().toStdString();
    RunConversion(state_, ws_, messages_);
}

void frmConv::onVersion() {
    frmVersion version(this);
    version.exec();
}

} // namespace zel::ui
