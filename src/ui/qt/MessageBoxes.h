// The program's messages shown as modal message boxes over a window.
#pragma once

#include "fileops/Messages.h"

#include <QMessageBox>
#include <QString>

#include <string>

class QWidget;

namespace zel::ui {

// A message text as the message box shows it: each character 13 that joins two lines becomes a
// line break.
QString MessageBoxText(const std::string& text);

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
