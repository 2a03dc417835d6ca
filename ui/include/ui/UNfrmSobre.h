// The About window: version, site and contact of the publisher. Created once,
// hidden; shown modally from the main window's "Sobre" link.
#pragma once

#include <QDialog>
#include <QLocale>

class QLabel;

namespace ui {

// "v" and the version constant divided by ten with one decimal, in the
// locale's notation: "22" gives "v2,2" in Brazil, "v2.2" in English.
// Throws std::invalid_argument when the constant is not a whole number.
QString versionText(const QString& constant, const QLocale& locale);

class TfrmSobre : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSobre(QWidget* parent = nullptr);

    QLabel* lVersao = nullptr;
    QLabel* lweb = nullptr;        // the site
    QLabel* sWebLabel1 = nullptr;  // the contact address

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormCreate();
};

}  // namespace ui
