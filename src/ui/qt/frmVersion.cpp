#include "ui/qt/frmVersion.h"

#include "ui/qt/TableWidgets.h"
#include "ui/table/WindowTable.h"

#include <QPushButton>

namespace zel::ui {

frmVersion::frmVersion(QWidget* parent) : QDialog(parent) {
    BuildFromTable(*this, table::VersionWindow());
    setModal(true);
    // OK is the default and the cancel button: Enter, Esc (QDialog's reject) and the click close it.
    connect(ControlOf<QPushButton>(*this, table::kOkButton), &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace zel::ui
