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

// Texts Qt's widgets draw that its pt_BR catalogue leaves in English: the
// file dialog's kind column names them since the icon provider was renamed.
struct QtText {
    const char* context;
    const char* source;
    const char* portuguese;
};
constexpr QtText kMissingQtTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "Pasta"},
    // Qt's name for a folder on Windows, after Explorer's, which says this in Portuguese.
    {"QAbstractFileIconProvider", "File Folder", "Pasta de arquivos"},
    {"QAbstractFileIconProvider", "Drive", "Unidade"},
    {"QAbstractFileIconProvider", "Shortcut", "Atalho"},
};

class MissingQtTexts : public QTranslator {
  public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* sourceText, const char*,
                      int) const override {
        for (const QtText& text : kMissingQtTexts)
            if (qstrcmp(context, text.context) == 0 && qstrcmp(sourceText, text.source) == 0)
                return QString::fromUtf8(text.portuguese);
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

bool installPortugueseTranslations(QApplication& app) {
    const QLocale brazilian(QLocale::Portuguese, QLocale::Brazil);
    QLocale::setDefault(brazilian);
    auto* translator = new QTranslator(&app);
    for (const QString& folder :
         {QApplication::applicationDirPath() + QStringLiteral("/translations"),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (translator->load(brazilian, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            // Installed last, asked first: ours fill the catalogue's gaps.
            return QApplication::installTranslator(translator) &&
                   QApplication::installTranslator(new MissingQtTexts(&app));
        }
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
