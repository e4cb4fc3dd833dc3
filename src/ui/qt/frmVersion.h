// The version window: the program's title, version and purpose, and an OK button.
#pragma once

#include <QDialog>

namespace zel::ui {

// Created anew for each opening and shown modally over the conversion window. OK, Enter, Esc and
// the close box close it.
class frmVersion : public QDialog {
    Q_OBJECT
public:
    explicit frmVersion(QWidget* parent = nullptr);
};

} // namespace zel::ui
