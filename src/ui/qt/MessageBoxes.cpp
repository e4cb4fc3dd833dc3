#include "ui/qt/MessageBoxes.h"

#include "workflow/ProgramInfo.h"

namespace zel::ui {

QString MessageBoxText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QChar(u'\r'), QChar(u'\n'));
    return shown;
}

QMessageBox::StandardButton MessageBoxes::Show(QMessageBox::Icon icon, const std::string& text,
                                               QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, QStringLiteral(ZELCONV_APP_TITLE), MessageBoxText(text), buttons, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
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
