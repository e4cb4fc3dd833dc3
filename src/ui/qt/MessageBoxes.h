// The program's messages shown as modal message boxes over a window.
#pragma once

#include "fileops/Messages.h"

#include <QMessageBox>
#include <QString>

#include <string>

class QFontMetrics;
class QWidget;

namespace zel::ui {

// A message text as the message box shows it: each character 13 that joins two lines becomes a
// line break.
QString MessageBoxText(const std::string& text);

// The width a message box gives its text, so that no line wraps with a short tail such as a lone
// "い。" (the toolkit breaks Japanese text at any character once a line reaches its own limit of
// about 500 pixels). A line up to `widest` pixels is shown whole; a longer one is wrapped into
// lines of even length. At least `narrowest`.
int MessageTextWidth(const QString& text, const QFontMetrics& metrics, int widest, int narrowest);

// Shows every message in a modal message box titled with the application title, over `parent`.
class MessageBoxes : public Messages {
public:
    explicit MessageBoxes(QWidget* parent) : parent_(parent) {}

    void Inform(const std::string& text) override;
    void Warn(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

private:
    QMessageBox::StandardButton Show(QMessageBox::Icon icon, const std::string& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton);

    QWidget* parent_;
};

} // namespace zel::ui
