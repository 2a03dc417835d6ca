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
    for (const QString& folder :
         {QApplication::applicationDirPath() + QStringLiteral("/translations"),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (translator->load(brazilian, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
            return QApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}

QFont programFont(int pixelSize) {
    QFont font(msSansSerifFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace ui
