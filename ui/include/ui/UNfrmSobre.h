// The About window: version, site and contact of the publisher.
#pragma once

#include <QDialog>

class QLabel;

namespace ui {

class TfrmSobre : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSobre(QWidget* parent = nullptr);
    QLabel* lVersao = nullptr;
};

}  // namespace ui
