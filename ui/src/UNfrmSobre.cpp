#include "ui/UNfrmSobre.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <stdexcept>

#include "ui/Desktop.h"
#include "ui/Links.h"
#include "ui/Magnet.h"
#include "ui/Publisher.h"
#include "ui/Pump.h"
#include "ui/Skin.h"
#include "ui/Translations.h"

namespace ui {

QString versionText(const QString& constant, const QLocale& locale) {
    bool whole = false;
    const int number = constant.toInt(&whole);
    if (!whole) throw std::invalid_argument("version constant is not a whole number");
    QLocale notation = locale;
    notation.setNumberOptions(QLocale::OmitGroupSeparator);
    return QLatin1Char('v') + notation.toString(number / 10.0, 'f', 1);
}

TfrmSobre::TfrmSobre(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmSobre"));
    setWindowTitle(QStringLiteral("Sobre"));
    setFont(programFont());
    setFixedSize(284, 132);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("panel"));
    setSkinSection(panel, SkinSection::GroupBox);
    panel->setGeometry(8, 8, 267, 105);
    const auto label = [](QWidget* parent, const QString& text, int left, int top) {
        auto* created = new QLabel(text, parent);
        created->move(left, top);
        return created;
    };
    label(panel, QString::fromUtf8(publisher::kCopyrightFirstLine), 8, 8);
    label(panel, QStringLiteral("Versão:"), 8, 32);
    lVersao = label(panel, QStringLiteral("--"), 64, 32);
    lVersao->setObjectName(QStringLiteral("lVersao"));
    label(panel, QStringLiteral("Site:"), 8, 56);
    lweb = label(panel, QString::fromLatin1(publisher::kSite), 64, 56);
    lweb->setObjectName(QStringLiteral("lweb"));
    makeLink(lweb, [] { openUrl(QUrl(QStringLiteral("http://") + publisher::kSite)); });
    label(panel, QStringLiteral("Contato:"), 8, 80);
    sWebLabel1 = label(panel, QString::fromLatin1(publisher::kContact), 64, 80);
    sWebLabel1->setObjectName(QStringLiteral("sWebLabel1"));
    makeLink(sWebLabel1, [] { openUrl(QUrl(QStringLiteral("mailto:") + publisher::kContact)); });
    label(this, QString::fromUtf8(publisher::kCopyrightClosingLine), 137, 115);

    applySkin(this);
    FormCreate();
}

void TfrmSobre::FormCreate() {
    guarded([this] {
        lVersao->setText(versionText(QString::fromLatin1(publisher::kVersion), QLocale::system()));
        lVersao->adjustSize();
    });
}

// Centred on the screen each time it is shown, frame included.
void TfrmSobre::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize frame = frameGeometry().size();
        move(area.x() + (area.width() - frame.width()) / 2,
             area.y() + (area.height() - frame.height()) / 2);
    }
}

// The window has no buttons: it closes by its close box only.
void TfrmSobre::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace ui
