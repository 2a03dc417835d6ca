#include "ui/Translations.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {
namespace {

// Debian's fonts-wine ships the face outside fontconfig's folders.
constexpr auto kMsSansSerifFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
constexpr int kProgramFontPixelSize = 11;

QString msSansSerifFamily() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kMsSansSerifFile));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("MS Sans Serif") : families.first();
    }();
    return family;
}

}  // namespace

bool installPortugueseTranslations(QApplication& app) {
    const QLocale brazilian(QLocale::Portuguese, QLocale::Brazil);
    QLocale::setDefault(brazilian);
    auto* translator = new QTranslator(&app);
    if (!translator->load(brazilian, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}

QFont programFont() {
    QFont font(msSansSerifFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kProgramFontPixelSize);
    return font;
}

}  // namespace ui
