// Qt's own texts in Japanese: the buttons of its message boxes, the open-file dialog and its
// refusals. The program speaks Japanese whatever the user's locale, so the translation is chosen
// by the program, not by LANG.
#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

namespace zel::ui {

// The folders searched for Qt's Japanese translation, in this order: the "translations" folder
// next to the program (where a Windows installation ships it), then Qt's own translations folder.
QStringList TranslationFolders();

// Installs Qt's Japanese texts into the running application and makes Japanese the default locale
// of the widgets (so that file types, for one, are named in Japanese). The texts come from Qt's
// translation qtbase_ja.qm, found in TranslationFolders(), and for the few texts that file lacks
// from the program itself. Returns the installed translator, owned by the application; its
// filePath() names the file loaded and is empty when none was found. The message-box buttons of
// the program name themselves in Japanese either way. Needs a QCoreApplication; installs once
// however often it is called.
QTranslator* InstallJapaneseTranslation();

} // namespace zel::ui
