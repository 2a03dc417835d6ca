#include "ui/Translations.h"

#include "ui/Scale.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QtEndian>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {
namespace {

// The faces compiled in (ui/CMakeLists.txt); empty where one would not load.
struct Faces {
    QString bitmap;    // "MS Sans Serif": strikes of 13, 16 and 20 pixels
    QString scalable;  // Tahoma: its successor, of the same widths, at any size
};

// Wine's bitmap face gives its average character width (OS/2 xAvgCharWidth)
// in units of a 2048 em, 611, where a face without outlines is read in
// pixels: every widget sized by it (an empty label, a spin box) would ask for
// hundreds of pixels. Mended to the 5 pixels of its 13-pixel strike.
QByteArray withPixelAverageWidth(QByteArray face) {
    const auto word = [&face](qsizetype at) {
        return at + 4 <= face.size() ? qFromBigEndian<quint32>(face.constData() + at) : 0u;
    };
    const quint32 tables = face.size() >= 6 ? qFromBigEndian<quint16>(face.constData() + 4) : 0u;
    for (quint32 n = 0; n < tables; ++n) {
        const qsizetype entry = 12 + 16 * qsizetype(n);
        if (word(entry) != 0x4F532F32u) continue;  // "OS/2"
        const qsizetype table = qsizetype(word(entry + 8));
        if (table >= 0 && table + 4 <= face.size())
            qToBigEndian<qint16>(5, face.data() + table + 2);
        break;
    }
    return face;
}

const Faces& faces() {
    static const Faces loaded = [] {
        const auto family = [](const char* file, bool mend) {
            QFile resource(QString::fromLatin1(file));
            if (!resource.open(QIODevice::ReadOnly)) return QString();
            const QByteArray bytes = resource.readAll();
            const int id =
                QFontDatabase::addApplicationFontFromData(mend ? withPixelAverageWidth(bytes) : bytes);
            return QFontDatabase::applicationFontFamilies(id).value(0);
        };
        return Faces{family(":/ui/fontes/ms_sans_serif.ttf", true),
                     family(":/ui/fontes/tahoma.ttf", false)};
    }();
    return loaded;
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

QString programFontFamily() {
    const Faces& loaded = faces();
    // A bitmap face has pixels of its own: on a scaled screen Qt would draw
    // its strike unscaled at scaled positions, small and letter-spaced.
    return !loaded.bitmap.isEmpty() && screensUnscaled() ? loaded.bitmap : loaded.scalable;
}

QFont programFont(int pixelSize) {
    const QString family = programFontFamily();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    // Tahoma's lower case runs a few per cent wider than the bitmap face's at
    // the same height: narrowed (by whole pixels of its size, so 5 %), the
    // texts fit what was laid out for them.
    if (family != faces().bitmap) font.setStretch(95);
    return font;
}

}  // namespace ui
