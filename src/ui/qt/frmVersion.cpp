#include "ui/qt/frmVersion.h"

#include "ui/qt/Fonts.h"
#include "ui/qt/Pictures.h"
#include "workflow/ProgramInfo.h"

#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace zel::ui {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, bool black) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

// A straight horizontal line `width` pixels thick, drawn as a filled strip.
QFrame* MakeLine(QWidget* parent, const char* name, QRect geometry, QColor colour) {
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setGeometry(geometry);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

} // namespace

QString VersionText(int major, int minor) {
    return QStringLiteral("バージョン %1.%2").arg(major).arg(minor, 2, 10, QChar(u'0'));
}

frmVersion::frmVersion(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmVersion"));
    setFont(GothicFont(9));
    setFixedSize(351, 187);
    setWindowIcon(AppIcon());
    setModal(true);

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(250, 156, 92, 25);
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);

    // The icon sits in a 36 × 36 box, two pixels in from its edges.
    picIcon_ = MakeLabel(this, "picIcon", QRect(16, 16, 36, 36), false);
    picIcon_->setAlignment(Qt::AlignCenter);
    picIcon_->setPixmap(AppIconPixmap(32, devicePixelRatioF()));
    picIcon_->setFocusPolicy(Qt::TabFocus);

    lblTitle_ = MakeLabel(this, "lblTitle", QRect(66, 16, 259, 18), true);
    lblVersion_ = MakeLabel(this, "lblVersion", QRect(66, 36, 259, 15), false);
    lblDescription_ = MakeLabel(this, "lblDescription", QRect(66, 62, 273, 52), true);
    lblDescription_->setWordWrap(true);
    Label1_ = MakeLabel(this, "Label1", QRect(66, 128, 255, 13), false);
    Label1_->setText(QStringLiteral("Copyright (C) 2000 TALMO Dev. Corp."));

    // The etched separator: a white strip two pixels high with a grey pixel row over its top.
    Line1_0_ = MakeLine(this, "Line1_0", QRect(15, 150, 326, 2), QColor(255, 255, 255));
    Line1_1_ = MakeLine(this, "Line1_1", QRect(14, 150, 327, 1), QColor(128, 128, 128));
    Line1_1_->raise();

    setTabOrder(cmdOK_, picIcon_);

    setWindowTitle(QStringLiteral(ZELCONV_APP_TITLE "のバージョン情報"));
    lblVersion_->setText(VersionText(ZELCONV_VERSION_MAJOR, ZELCONV_VERSION_MINOR));
    lblTitle_->setText(QStringLiteral(ZELCONV_APP_TITLE));
    lblDescription_->setText(QStringLiteral(
        "このプログラムは、カルトゥーバ Version1.04より前のシステムで作成したファイルを、新しいバージョン（カ"
        "ルトゥーバVersion1.04以降）に変換するプログラムです。"));

    cmdOK_->setFocus();
}

} // namespace zel::ui
