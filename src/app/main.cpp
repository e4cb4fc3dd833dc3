// The window program: shows the conversion window, or, started with several files or a folder, the
// batch window alone; closing the window shown ends the program.
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "ui/qt/Fonts.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/Translations.h"
#include "ui/qt/frmConv.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    // Before anything is opened: the toolkit's diagnostics for a closed stream must not go into a
    // data file that took its number.
    if (!zel::platform::OpenClosedStandardDescriptors()) return 1;
    // Before any thread starts (the toolkit starts some), so that every thread inherits the blocked
    // signals and they are handled in one place.
    zel::platform::RemoveTemporaryFilesOnInterrupt();
    QApplication app(argc, argv);
    zel::ui::InstallJapaneseTranslation();
    zel::ui::InstallFontSubstitutions();
    QApplication::setWindowIcon(zel::ui::AppIcon());

    // The one working set of the program, kept until it ends.
    auto ws = std::make_unique<zel::WorkingSet>();
    const std::unique_ptr<QWidget> window = zel::ui::WindowForArguments(*ws, argc, argv);
    window->show();
    return QApplication::exec();
}
