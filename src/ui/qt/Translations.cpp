#include "ui/qt/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <string_view>

namespace zel::ui {

namespace {

// Qt's translation, completed by the texts it lacks: the type column of the open-file dialog
// names folders and drives with texts that Qt 6 moved to a context its Japanese file does not
// cover yet. A text the file translates is always taken from the file.
class JapaneseQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        QString text = QTranslator::translate(context, sourceText, disambiguation, n);
        if (!text.isEmpty() || !context || !sourceText) return text;
        struct Missing {
            std::string_view context, source;
            const char16_t* japanese;
        };
        static constexpr Missing kMissing[] = {
            {"QAbstractFileIconProvider", "Folder", u"フォルダ"},
            {"QAbstractFileIconProvider", "Drive", u"ドライブ"},
        };
        for (const Missing& m : kMissing)
            if (m.context == context && m.source == sourceText) return QString::fromUtf16(m.japanese);
        return text;
    }

    bool isEmpty() const override { return false; }
};

} // namespace

QStringList TranslationFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

QTranslator* InstallJapaneseTranslation() {
    static QTranslator* installed = nullptr;
    if (installed) return installed;

    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    auto* translator = new JapaneseQtTexts(QCoreApplication::instance());
    for (const QString& folder : TranslationFolders())
        if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) break;
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return installed;
}

} // namespace zel::ui
