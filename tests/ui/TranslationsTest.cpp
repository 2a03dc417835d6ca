#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLocale>

#include "ui/Translations.h"

TEST(Translations, QtOwnTextsAndTheLocaleBecomeBrazilian) {
    ASSERT_TRUE(ui::installPortugueseTranslations(*qApp));
    EXPECT_EQ(QLocale().name(), QStringLiteral("pt_BR"));
    EXPECT_EQ(QCoreApplication::translate("QProgressDialog", "Cancel"), QStringLiteral("Cancelar"));
    EXPECT_EQ(QLocale().toString(1234.5, 'f', 1), QStringLiteral("1.234,5"));
}

TEST(Translations, TextsMissingFromQtsCatalogueArePortuguese) {
    ASSERT_TRUE(ui::installPortugueseTranslations(*qApp));
    struct Case {
        const char* context;
        const char* source;
        const char* portuguese;
    };
    const Case cases[] = {
        {"QAbstractFileIconProvider", "Folder", "Pasta"},
        {"QAbstractFileIconProvider", "File Folder", "Pasta de arquivos"},
        {"QAbstractFileIconProvider", "Drive", "Unidade"},
        {"QAbstractFileIconProvider", "Shortcut", "Atalho"},
        // Qt's catalogue still answers for the rest.
        {"QFileDialog", "&Save", "&Salvar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(QCoreApplication::translate(c.context, c.source),
                  QString::fromUtf8(c.portuguese));
    }
}

// Compiled in, the face is there on every system; these tests run unscaled.
TEST(ProgramFont, ElevenPixelsOfMsSansSerif) {
    const QFont font = ui::programFont();
    EXPECT_EQ(font.pixelSize(), 11);
    const QFontInfo used(font);
    EXPECT_EQ(used.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_NE(used.styleHint(), QFont::Serif);
    // Widgets sized by the face's average character width ask for a few
    // characters' room, not hundreds of pixels.
    const QFontMetrics metrics(font);
    EXPECT_GE(metrics.averageCharWidth(), 4);
    EXPECT_LE(metrics.averageCharWidth(), 7);
    QLabel empty;
    empty.setFont(font);
    EXPECT_LT(empty.minimumSizeHint().width(), 20);
}
