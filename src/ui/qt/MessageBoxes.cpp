#include "ui/qt/MessageBoxes.h"

#include "workflow/ProgramInfo.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace zel::ui {

QString MessageBoxText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QChar(u'\r'), QChar(u'\n'));
    return shown;
}

int MessageTextWidth(const QString& text, const QFontMetrics& metrics, int widest, int narrowest) {
    // A wrapped line may not begin with "。" or "、", so it can end a character or so away from an
    // even share; the slack keeps such a shift from adding a line.
    const int slack = 2 * metrics.horizontalAdvance(QChar(u'あ'));
    int width = narrowest;
    for (const QString& line : text.split(QChar(u'\n'))) {
        const int advance = metrics.horizontalAdvance(line);
        const int lines = std::max(1, (advance + widest - 1) / widest);
        width = std::max(width, (advance + lines - 1) / lines + (lines > 1 ? slack : 2));
    }
    return width;
}

QMessageBox::StandardButton MessageBoxes::Show(QMessageBox::Icon icon, const std::string& text,
                                               QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, QStringLiteral(ZELCONV_APP_TITLE), MessageBoxText(text), buttons, parent_);
    box.setTextFormat(Qt::PlainText);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        // Whole lines up to half the screen (the box then stays within the toolkit's own limit),
        // and room for the title bar: the window manager draws the title in bold beside the
        // window's icon and its close button, which need about 100 pixels more than the message
        // icon beside the text.
        const QScreen* screen = parent_ ? parent_->screen() : QGuiApplication::primaryScreen();
        const int widest = std::min(screen ? screen->availableGeometry().width() / 2 : 640, 720);
        QFont titleFont = box.font();
        titleFont.setBold(true);
        const int narrowest = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 100;
        label->setMinimumWidth(MessageTextWidth(box.text(), label->fontMetrics(), widest, narrowest));
    }
    box.setDefaultButton(defaultButton);
    // Named here rather than by Qt's translation, so that they read Japanese also where that
    // translation is not installed.
    static const std::pair<QMessageBox::StandardButton, const char16_t*> kButtonTexts[] = {
        {QMessageBox::Yes, u"はい"}, {QMessageBox::No, u"いいえ"}, {QMessageBox::Ok, u"OK"}};
    for (const auto& [button, caption] : kButtonTexts)
        if (QAbstractButton* shown = box.button(button)) shown->setText(QString::fromUtf16(caption));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBoxes::Inform(const std::string& text) {
    Show(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBoxes::Warn(const std::string& text) {
    Show(QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxes::AskYesNo(const std::string& text) {
    return Show(QMessageBox::Information, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

} // namespace zel::ui
