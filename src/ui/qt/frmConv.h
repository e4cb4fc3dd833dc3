// The conversion window: the source and target name fields, the browse button, Convert, the version
// window and Close. Closing it ends the program.
#pragma once

#include "ui/qt/MessageBoxes.h"
#include "workflow/Workflow.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QDragEnterEvent;
class QDropEvent;
class QLineEdit;

namespace zel::ui {

// A plain top-level window rather than a dialog, so that Enter and Esc in the name fields press no
// button and do not close it (a button with the focus answers Enter).
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

    // The program's arguments (its own name first): a file named there fills both name fields, as
    // when it is chosen with the browse button. Nothing is converted until the user asks.
    void fillFromCommandLine(const QStringList& arguments);

    const ConversionState& state() const { return state_; }

protected:
    // A file dropped anywhere on the window fills both name fields; several files or a folder open
    // the batch window over it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void onBrowse();
    void onConvert();
    void onVersion();
    // Both fields receive `fullName`: by default a file is converted in place.
    void fillBothNames(const QString& fullName);

    WorkingSet& ws_;
    ConversionState state_;
    MessageBoxes messages_{this};
    FileChooser chooseFile_ = &frmConv::ChooseWithDialog;

    QLineEdit* sourceField_;
    QLineEdit* targetField_;
};

// The window the program shows for its command line (`argc` and `argv` after the toolkit has taken
// out its own options): the batch window alone for several files or a folder, else the conversion
// window with a named file in both fields.
std::unique_ptr<QWidget> WindowForArguments(WorkingSet& ws, int argc, char** argv);

} // namespace zel::ui
