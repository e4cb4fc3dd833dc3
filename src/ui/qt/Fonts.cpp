#include "ui/qt/Fonts.h"

#include <QFontDatabase>

namespace zel::ui {

QStringList GothicStandIns() {
    // Proportional faces only, like the font they stand in for: a fixed-pitch face such as
    // IPAGothic draws the labels wider than the places the windows give them, and their last
    // characters are cut off.
    return {QStringLiteral("IPAPGothic"),         QStringLiteral("Noto Sans CJK JP"),
            QStringLiteral("Yu Gothic UI"),       QStringLiteral("Meiryo UI"),
            QStringLiteral("TakaoPGothic"),       QStringLiteral("VL PGothic"),
            QStringLiteral("Droid Sans Fallback")};
}

void InstallFontSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    if (QFontDatabase::hasFamily(kGothicFamily)) return;
    QStringList installed;
    for (const QString& family : GothicStandIns())
        if (QFontDatabase::hasFamily(family) && !QFontDatabase::isFixedPitch(family)) installed << family;
    if (!installed.isEmpty()) QFont::insertSubstitutions(kGothicFamily, installed);
}

QFont GothicFont(int points, bool bold) {
    InstallFontSubstitutions();
    QFont font(kGothicFamily, points, bold ? QFont::Bold : QFont::Normal);
    return font;
}

} // namespace zel::ui
