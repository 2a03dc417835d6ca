// Every window of the program at the display scale this run was started
// with (QT_SCALE_FACTOR: CTest runs it at 100, 125, 150 and 200 %): no text
// cut by its control or by the window's edge, no two controls over each
// other, the letters in a face that follows the scale and the images sharp.
// With TESSALY_SCREENSHOTS set, each window's picture is saved there.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTimer>
#include <cmath>

#include "../ui/DialogDriver.h"
#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "preview/UNfrmPreview.h"
#include "ui/ButtonImages.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/Skin.h"
#include "ui/Translations.h"
#include "ui/UNfrmSobre.h"
#include "ui/Windows.h"

namespace {

double scale() { return QGuiApplication::primaryScreen()->devicePixelRatio(); }

QString describe(const QWidget* widget) {
    QString name = widget->objectName();
    if (name.isEmpty()) name = QString::fromLatin1(widget->metaObject()->className());
    return name;
}

// The text a control shows, without markup or mnemonic marks.
QString shownText(QString text) {
    if (Qt::mightBeRichText(text)) text = QTextDocumentFragment::fromHtml(text).toPlainText();
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

int widestLine(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\r\n]"))))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// Room a control's text needs beyond the text itself.
int textRoomNeeded(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text().isEmpty() || !label->pixmap().isNull()) return 0;
        const QString text = shownText(label->text());
        if (label->wordWrap())
            return label->heightForWidth(label->width()) > label->height() ? 1 : 0;
        const int room = label->contentsRect().width() - 2 * label->margin() -
                         std::max(label->indent(), 0);
        return widestLine(label->fontMetrics(), text) - room;
    }
    if (auto* check = qobject_cast<QCheckBox*>(widget))
        return check->text().isEmpty() ? 0 : check->sizeHint().width() - check->width();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        if (button->text().isEmpty()) return 0;
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        return widestLine(button->fontMetrics(), shownText(button->text())) + icon + 4 -
               button->contentsRect().width();
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return box->title().isEmpty()
                   ? 0
                   : box->fontMetrics().horizontalAdvance(shownText(box->title())) + 8 - box->width();
    return 0;
}

bool showsText(QWidget* widget) {
    return qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget);
}

// Every way the window's texts do not show whole: each fault on one line.
QStringList faultsOf(QWidget* window) {
    QStringList faults;
    const QRect inside = window->rect();
    QList<QWidget*> texts;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->window() != window) continue;
        if (const int missing = textRoomNeeded(widget); missing > 0)
            faults << QStringLiteral("%1: faltam %2 px para o texto").arg(describe(widget)).arg(missing);
        if (!showsText(widget)) continue;
        const QRect place(widget->mapTo(window, QPoint(0, 0)), widget->size());
        if (!inside.contains(place))
            faults << QStringLiteral("%1 sai da janela (%2,%3 %4x%5)")
                          .arg(describe(widget))
                          .arg(place.x())
                          .arg(place.y())
                          .arg(place.width())
                          .arg(place.height());
        texts << widget;
    }
    for (int i = 0; i < texts.size(); ++i)
        for (int j = i + 1; j < texts.size(); ++j) {
            if (texts[i]->isAncestorOf(texts[j]) || texts[j]->isAncestorOf(texts[i])) continue;
            const QRect a(texts[i]->mapTo(window, QPoint(0, 0)), texts[i]->size());
            const QRect b(texts[j]->mapTo(window, QPoint(0, 0)), texts[j]->size());
            if (a.intersects(b))
                faults << QStringLiteral("%1 e %2 se sobrepõem (%3,%4 %5x%6 e %7,%8 %9x%10)")
                              .arg(describe(texts[i]), describe(texts[j]))
                              .arg(a.x()).arg(a.y()).arg(a.width()).arg(a.height())
                              .arg(b.x()).arg(b.y()).arg(b.width()).arg(b.height());
        }
    return faults;
}

void saveScreenshot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("TESSALY_SCREENSHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    window->grab().save(QStringLiteral("%1/%2-%3.png").arg(folder, name).arg(std::lround(scale() * 100)));
}

void checkWindow(QWidget* window, const QString& name) {
    SCOPED_TRACE(name.toStdString());
    window->show();
    // Laid out as the user sees it: every pending layout run first.
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
    }
    saveScreenshot(window, name);
    const QStringList faults = faultsOf(window);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
}

class Scale : public ::testing::Test {
  protected:
    // As the program starts: Qt's own dialogs in Portuguese, whose texts are longer.
    static void SetUpTestSuite() {
        ui::installPortugueseTranslations(*qApp);
        ui::setUpLookAndFeel(*qApp);
    }
    QTemporaryDir folder;
    library::Layout layout{folder.path().toStdString()};
};

TEST_F(Scale, TheWindowsFaceFollowsTheScale) {
    const QString family = ui::programFontFamily();
    const QFontInfo shown(ui::programFont());
    EXPECT_EQ(shown.family(), family);
    if (qFuzzyCompare(scale(), 1.0)) {
        // At its own pixels the face the windows were designed in.
        EXPECT_EQ(family, QStringLiteral("MS Sans Serif"));
    } else {
        EXPECT_TRUE(QFontDatabase::isSmoothlyScalable(family)) << family.toStdString();
        // Of the bitmap face's widths: the labels laid out for it fit.
        const QFontMetrics metrics(ui::programFont());
        EXPECT_NEAR(metrics.horizontalAdvance(QStringLiteral("Explorar ao clicar sobre imagem")),
                    149, 8);
    }
}

TEST_F(Scale, ImagesHaveThePixelsOfTheScale) {
    const double wanted = std::min(scale(), 2.0);
    for (const ui::ButtonImage image :
         {ui::ButtonImage::Save, ui::ButtonImage::Download, ui::ButtonImage::Cancel}) {
        const QPixmap shown = ui::buttonImage(image).pixmap(QSize(16, 16), scale());
        EXPECT_GE(shown.devicePixelRatio(), wanted - 0.01) << int(image);
    }
    const QIcon icon = ui::programIcon();
    for (const int side : {16, 32, 48, 64, 128, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(side, side))) << side;
}

TEST_F(Scale, MainWindow) {
    browser::TfrmVisualizar main(layout);
    checkWindow(&main, QStringLiteral("principal"));
}

TEST_F(Scale, PreviewWindow) {
    preview::TfrmPreview preview;
    checkWindow(&preview, QStringLiteral("visualizacao"));
}

TEST_F(Scale, DownloadWindow) {
    download::TfrmDownload packages;
    checkWindow(&packages, QStringLiteral("download"));
}

TEST_F(Scale, AboutWindow) {
    ui::TfrmSobre about;
    checkWindow(&about, QStringLiteral("sobre"));
}

TEST_F(Scale, SaveDialog) {
    browser::TfrmVisualizar main(layout);
    main.show();
    checkWindow(main.dSalvar, QStringLiteral("salvar"));
    main.dSalvar->hide();
}

TEST_F(Scale, MessageBoxes) {
    const struct {
        const char* name;
        QString text;
        ui::MessageKind kind;
        ui::MessageButtons buttons;
    } boxes[] = {
        {"mensagem-info", QStringLiteral("\rProcedimento concluído.\r"), ui::MessageKind::Information,
         ui::MessageButton::OK},
        {"mensagem-pergunta",
         QStringLiteral("\rJá existe um arquivo com este nome.\rDeseja substituí-lo?\r"),
         ui::MessageKind::Confirmation, {ui::MessageButton::Yes, ui::MessageButton::No}},
    };
    for (const auto& box : boxes) {
        ui_test::whenModalActive([&box](QDialog* dialog) {
            checkWindow(dialog, QString::fromLatin1(box.name));
            dialog->done(0);
        });
        ui::LocalisedMessageDlg(box.text, box.kind, box.buttons, 0);
    }
}

}  // namespace
