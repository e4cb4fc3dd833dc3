// The Japanese fonts of the windows. The windows ask for "ＭＳ Ｐゴシック"; where that font is not
// installed, Qt is told to use an installed Japanese gothic font in its place, so that no text is
// drawn as empty boxes.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace zel::ui {

// The font the name fields, the arrow label and the windows ask for.
inline const QString kGothicFamily = QStringLiteral("ＭＳ Ｐゴシック");

// The installed families tried, in this order, in place of kGothicFamily.
QStringList GothicStandIns();

// Registers the stand-ins for kGothicFamily once, unless that font itself is installed. Safe to
// call more than once.
void InstallFontSubstitutions();

// kGothicFamily at `points` points, optionally bold.
QFont GothicFont(int points, bool bold = false);

} // namespace zel::ui
