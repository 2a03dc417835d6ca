#include <QCheckBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>

#include "DialogDriver.h"
#include "DownloadFixture.h"

using namespace download_test;
using PackageWindow = DownloadFixture;

namespace {

void movePointerOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QString firstLine(const QPlainTextEdit* memo) {
    return memo->toPlainText().section(QLatin1Char('\n'), 0, 0);
}

}  // namespace

TEST_F(PackageWindow, HoverLoadsADescriptionOnceOnEntryAndClickLeavesTheCaption) {
    createWindows("http://127.0.0.1:1/");
    packages->show();
    const QString untouched = packages->gSobre->text();
    struct Step {
        const char* what;
        std::function<void()> act;
        QString memo;
        QString caption;
    };
    const std::vector<Step> steps = {
        {"hover before the group box was crossed", [&] { movePointerOver(packages->boxes[5]); },
         QString(), untouched},
        {"group box, then a box",
         [&] {
             movePointerOver(packages->sGroupBox1);
             movePointerOver(packages->boxes[5]);
         },
         QStringLiteral("Descrição do pacote 5"), QStringLiteral(" Conteúdo - Elétrica (22MB) ")},
        {"moving within the box reads nothing again",
         [&] {
             fixtures::writeFile(library() / "5.txt", "changed");
             movePointerOver(packages->boxes[5]);
         },
         QStringLiteral("Descrição do pacote 5"), QStringLiteral(" Conteúdo - Elétrica (22MB) ")},
        {"straight to the next box", [&] { movePointerOver(packages->boxes[6]); },
         QStringLiteral("Descrição do pacote 5"), QStringLiteral(" Conteúdo - Elétrica (22MB) ")},
        {"click shows its description, caption stays",
         [&] { QTest::mouseClick(packages->boxes[9], Qt::LeftButton); },
         QStringLiteral("Descrição do pacote 9"), QStringLiteral(" Conteúdo - Elétrica (22MB) ")},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(firstLine(packages->memo), step.memo) << step.what;
        EXPECT_EQ(packages->gSobre->text(), step.caption) << step.what;
    }
    EXPECT_TRUE(main->shared().PackageSelection[9]);
    EXPECT_EQ(packages->currentPackage(), 9);
}

TEST_F(PackageWindow, UnreadableDescriptionShowsAnErrorBoxNamingTheFile) {
    fs::remove(library() / "4.txt");
    createWindows("http://127.0.0.1:1/");
    struct Case {
        const char* how;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"click on the box",
         [&] {
             packages->show();
             QTest::mouseClick(packages->boxes[4], Qt::LeftButton);
         }},
        {"the opener ticking it",
         [&] {
             packages->hide();
             packages->boxes[4]->setChecked(false);
             main->cArea->setCurrentIndex(4);
             emit main->cArea->activated(4);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        QString title;
        QString text;
        bool packageWindowShown = false;
        ui_test::whenModalActive([&](QDialog* dialog) {
            if (dialog == packages.get()) {
                packageWindowShown = true;
                dialog->close();
                return;
            }
            title = dialog->windowTitle();
            text = qobject_cast<QMessageBox*>(dialog) ? static_cast<QMessageBox*>(dialog)->text()
                                                      : QString();
            dialog->close();
        });
        c.act();
        EXPECT_EQ(title, QApplication::applicationDisplayName());
        EXPECT_TRUE(text.contains(QString::fromStdString(library::pathToUtf8(library() / "4.txt"))))
            << text.toStdString();
        EXPECT_FALSE(packageWindowShown) << "the opener does not show it over the error";
        EXPECT_TRUE(main->shared().PackageSelection[4]) << "the choice was stored before";
    }
}
