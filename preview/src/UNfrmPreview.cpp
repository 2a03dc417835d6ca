#include "preview/UNfrmPreview.h"

#include <QPushButton>
#include <cmath>

#include "ui/Magnet.h"
#include "ui/Skin.h"
#include "ui/Translations.h"

namespace preview {

namespace {
constexpr int kPanelHeight = 41;
constexpr int kDesignPanelWidth = 334;
}  // namespace

TfrmPreview::TfrmPreview(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Navegador"));
    setFont(ui::programFont());
    setMinimumSize(300, 300);
    dwg = new QWidget(this);
    dwg->setObjectName(QStringLiteral("dwg"));
    dwg->setAutoFillBackground(true);
    buttonPanel_ = new QWidget(this);
    ui::setSkinSection(buttonPanel_, ui::SkinSection::Panel);
    bProximo = new QPushButton(QStringLiteral("Próximo >"), buttonPanel_);
    bProximo->setObjectName(QStringLiteral("bProximo"));
    bProximo->setDefault(true);
    bAnterior = new QPushButton(QStringLiteral("< Anterior"), buttonPanel_);
    bAnterior->setObjectName(QStringLiteral("bAnterior"));
    setTabOrder(bProximo, bAnterior);
    bVer = new QPushButton(QStringLiteral("Ok"), this);
    bVer->setObjectName(QStringLiteral("bVer"));
    bVer->hide();
    connect(bVer, &QPushButton::clicked, this, &TfrmPreview::bVerClick);
    resize(350, 350);
    ui::applySkin(this);
    ui::attachMagnet(this);
}

void TfrmPreview::clickRefresh() {
    bVer->click();
}

// The drawing is loaded here once the viewer is in place.
void TfrmPreview::bVerClick() {}

void TfrmPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dwg->setGeometry(0, 0, width(), height() - kPanelHeight);
    buttonPanel_->setGeometry(0, height() - kPanelHeight, width(), kPanelHeight);
    // Each button keeps its centre at the same fraction of the panel's width.
    const auto place = [this](QPushButton* button, double designCentre) {
        const int centre =
            static_cast<int>(std::lround(designCentre * width() / kDesignPanelWidth));
        button->setGeometry(centre - 105 / 2, 8, 105, 25);
    };
    place(bAnterior, 99);
    place(bProximo, 234);
}

}  // namespace preview
