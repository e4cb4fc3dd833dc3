// The version window: the program's title, version and purpose, and an OK button.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QFrame;

namespace zel::ui {

// "バージョン 1.00": the major version, a point and the minor version with at least two digits.
QString VersionText(int major, int minor);

// Created anew for each opening and shown modally over the conversion window. OK, Enter, Esc and
// the close box close it.
class frmVersion : public QDialog {
    Q_OBJECT
public:
    explicit frmVersion(QWidget* parent = nullptr);

private:
    QPushButton* cmdOK_;
    QLabel* picIcon_;
    QLabel* lblTitle_;
    QLabel* lblVersion_;
    QLabel* lblDescription_;
    QLabel* Label1_;
    QFrame* Line1_0_;
    QFrame* Line1_1_;
};

} // namespace zel::ui
