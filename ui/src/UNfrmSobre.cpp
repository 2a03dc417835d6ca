#include "ui/UNfrmSobre.h"

#include <QFrame>
#include <QLabel>

#include "ui/Translations.h"

namespace ui {

TfrmSobre::TfrmSobre(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frmSobre"));
    setWindowTitle(QStringLiteral("Sobre"));
    setFont(programFont());
    setFixedSize(284, 132);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(8, 8, 267, 105);
    const auto label = [panel](const QString& text, int left, int top) {
        auto* created = new QLabel(text, panel);
        created->move(left, top);
        return created;
    };
    label(QStringLiteral("© Tessaly"), 8, 8);
    label(QStringLiteral("Versão:"), 8, 32);
    lVersao = label(QStringLiteral("--"), 64, 32);
    lVersao->setObjectName(QStringLiteral("lVersao"));
    label(QStringLiteral("Site:"), 8, 56);
    label(QStringLiteral("Contato:"), 8, 80);
}

}  // namespace ui
