// The floating preview window ("Navegador"). The drawing viewer and the
// refresh that fills it come with the preview's own work; for now the window
// carries the controls the main window reaches.
#pragma once

#include <QWidget>

#include "ui/Windows.h"

class QPushButton;

namespace preview {

class TfrmPreview : public QWidget, public ui::PreviewWindowAccess {
    Q_OBJECT
  public:
    explicit TfrmPreview(QWidget* parent = nullptr);

    // PreviewWindowAccess
    bool isShowing() const override { return isVisible(); }
    void showModeless() override { show(); }
    void clickRefresh() override;

    QWidget* dwg = nullptr;  // the viewer's place
    QPushButton* bAnterior = nullptr;
    QPushButton* bProximo = nullptr;
    QPushButton* bVer = nullptr;  // hidden; its click is the refresh

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void bVerClick();

    QWidget* buttonPanel_ = nullptr;
};

}  // namespace preview
