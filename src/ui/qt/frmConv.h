// The conversion window: the source and target name fields, the browse button, Convert, the version
// window and Close. Closing it ends the program.
#pragma once

#include "ui/qt/MessageBoxes.h"
#include "workflow/Workflow.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;

namespace zel::ui {

// The filter the open-file dialog shows, and the patterns it matches in any letter case.
inline const QString kOpenTitle = QStringLiteral("カルトゥーバファイルを開く");
inline const QString kOpenFilter = QStringLiteral("カルトゥーバファイル (*.ZEL)");

// A plain top-level window rather than a dialog, so that Enter and Esc press no button and do not
// close it.
class frmConv : public QWidget {
    Q_OBJECT
public:
    // Asks the user for an existing data file; the chosen full name, or nothing when cancelled.
    using FileChooser = std::function<std::optional<QString>(QWidget* parent)>;

    explicit frmConv(WorkingSet& ws, QWidget* parent = nullptr);

    // Replaces the open-file dialog (tests answer it without showing a dialog).
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    // The open-file dialog of the browse button.
    static std::optional<QString> ChooseWithDialog(QWidget* parent);

    // Places the window in the centre of the screen it is on.
    void centreOnScreen();

    const ConversionState& state() const { return state_; }

private:
    void onBrowse();
    void onConvert();
    void onVersion();

    WorkingSet& ws_;
    ConversionState state_;
    MessageBoxes messages_{this};
    FileChooser chooseFile_ = &frmConv::ChooseWithDialog;

    QLineEdit* sourceField_;
    QLineEdit* targetField_;
};

} // namespace zel::ui
