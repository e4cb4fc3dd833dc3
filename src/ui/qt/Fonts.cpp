#include "ui/qt/Fonts.h"

#include <QFontDatabase>

namespace zel::ui {

QStringList GothicStandIns() {
    return {QStringLiteral("IPAPGothic"),       QStringLiteral("IPAGothic"),
            QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Yu Gothic UI"),
            QStringLiteral("Meiryo"),           QStringLiteral("Droid Sans Fallback")};
}

void InstallFontSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    if (QFontDatabase::hasFamily(kGothicFamily)) return;
    QStringList installed;
    for (const QString& family : GothicStandIns())
        if (QFontDatabase::hasFamily(family)) installed << family;
    if (!installed.isEmpty()) QFont::insertSubstitutions(kGothicFamily, installed);
}

QFont GothicFont(int points, bool bold) {
    InstallFontSubstitutions();
    QFont font(kGothicFamily, points, bold ? QFont::Bold : QFont::Normal);
    return font;
}

} // namespace zel::ui
