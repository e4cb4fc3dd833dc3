// The window program: shows the conversion window; closing it ends the program.
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "ui/qt/Fonts.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/Translations.h"
#include "ui/qt/frmConv.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zel::ui::InstallJapaneseTranslation();
    zel::platform::RemoveTemporaryFilesOnInterrupt();
    zel::ui::InstallFontSubstitutions();
    QApplication::setWindowIcon(zel::ui::AppIcon());

    // The one working set of the program, kept until it ends.
    auto ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv window(*ws);
    // A file opened with the program, or dropped on its icon, fills both name fields.
    window.fillFromCommandLine(QApplication::arguments());
    window.show();
    return QApplication::exec();
}
