// The program's windows wear the skin; the dialogs they open keep the
// platform's look.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>

#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "preview/UNfrmPreview.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/Skin.h"
#include "ui/UNfrmSobre.h"
#include "ui/Windows.h"

namespace {

// Whether some widget of the tree is drawn through a style sheet.
bool anyStyleSheet(const QWidget* root) {
    if (root->testAttribute(Qt::WA_StyleSheet)) return true;
    for (const QWidget* child : root->findChildren<QWidget*>())
        if (child->testAttribute(Qt::WA_StyleSheet)) return true;
    return false;
}

bool between(const QColor& colour, const QColor& a, const QColor& b) {
    const auto inside = [](int value, int x, int y) {
        return value >= std::min(x, y) - 1 && value <= std::max(x, y) + 1;
    };
    return inside(colour.red(), a.red(), b.red()) && inside(colour.green(), a.green(), b.green()) &&
           inside(colour.blue(), a.blue(), b.blue());
}

}  // namespace

TEST(Look, ProgramWindowsCarryTheSkinTheirDialogsDoNot) {
    ui::setUpLookAndFeel(*qApp);
    EXPECT_FALSE(QApplication::isEffectEnabled(Qt::UI_AnimateCombo));
    EXPECT_FALSE(QApplication::isEffectEnabled(Qt::UI_FadeMenu));
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_Widget_Animation_Duration), 0);

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    browser::TfrmVisualizar main{library::Layout(folder.path().toStdString())};
    ui::TfrmSobre about;
    download::TfrmDownload packages;
    preview::TfrmPreview preview;
    const ui::Skin& skin = ui::programSkin();

    for (QWidget* window : std::initializer_list<QWidget*>{&main, &about, &packages, &preview}) {
        SCOPED_TRACE(window->objectName().toStdString());
        EXPECT_TRUE(ui::carriesSkin(window));
        EXPECT_EQ(window->palette().color(QPalette::Window), skin[ui::SkinSection::Form].top);
    }
    // Window backgrounds, the top bar and the bottom bar, each painted by its section.
    for (QWidget* window : std::initializer_list<QWidget*>{&about, &packages}) {
        const QImage shot = window->grab().toImage();
        EXPECT_EQ(shot.pixelColor(1, shot.height() / 2).rgb(),
                  skin[ui::SkinSection::Form].top.rgb());
    }
    const QImage mainShot = main.grab().toImage();
    EXPECT_TRUE(between(mainShot.pixelColor(400, 3), skin[ui::SkinSection::SpeedButton].top,
                        skin[ui::SkinSection::SpeedButton].bottom));
    EXPECT_TRUE(between(mainShot.pixelColor(30, main.height() - 19 - 25),
                        skin[ui::SkinSection::GroupBox].top,
                        skin[ui::SkinSection::GroupBox].bottom));
    EXPECT_TRUE(packages.bDownload->testAttribute(Qt::WA_StyleSheet));

    // The save dialog belongs to the main window but keeps the platform's look.
    main.dSalvar->show();
    QApplication::processEvents();
    EXPECT_FALSE(ui::carriesSkin(main.dSalvar));
    EXPECT_FALSE(anyStyleSheet(main.dSalvar));
    EXPECT_NE(main.dSalvar->palette().color(QPalette::Window), skin[ui::SkinSection::Form].top);
    main.dSalvar->hide();

    QColor messageBackground;
    bool messageSkinned = true;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isActiveWindow()) return;
        watcher.stop();
        messageSkinned = ui::carriesSkin(dialog);
        messageBackground = dialog->grab().toImage().pixelColor(2, 2);
        dialog->done(1);
    });
    watcher.start(10);
    ui::LocalisedMessageDlg(QStringLiteral("Procedimento concluído."), ui::MessageKind::Information,
                            ui::MessageButton::OK, 0);
    EXPECT_FALSE(messageSkinned);
    EXPECT_EQ(messageBackground.rgb(),
              QApplication::style()->standardPalette().color(QPalette::Window).rgb());
}
