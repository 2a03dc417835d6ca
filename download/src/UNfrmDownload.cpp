#include "download/UNfrmDownload.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringDecoder>
#include <stdexcept>

#include "ui/ButtonImages.h"
#include "ui/Pump.h"
#include "ui/Skin.h"
#include "ui/Translations.h"

namespace download {

namespace {

void setDarkText(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, QColor(53, 64, 51));
    widget->setPalette(palette);
}

// What the application shows for a failure no handler catches: a plain
// error box titled with the application's name.
void showUncaughtError(QWidget* parent, const std::exception& error) {
    QMessageBox::critical(parent, QApplication::applicationName(),
                          QString::fromStdString(error.what()));
}

}  // namespace

QString readDescription(const std::filesystem::path& file) {
    QFile input(QString::fromStdU16String(file.u16string()));
    if (!input.open(QIODevice::ReadOnly))
        throw std::runtime_error("Não foi possível abrir o arquivo " + library::pathToUtf8(file) +
                                 ": " + input.errorString().toStdString());
    QByteArray bytes = input.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        QStringDecoder windows1252("windows-1252");
        text = windows1252.isValid() ? windows1252(bytes) : QString::fromLatin1(bytes);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

TfrmDownload::TfrmDownload(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frmDownload"));
    setWindowTitle(QStringLiteral("Download de biblioteca"));
    setFont(ui::programFont());
    setFixedSize(400, 438);
    setModal(true);

    sGroupBox1 = new QGroupBox(QStringLiteral(" Bibliotecas "), this);
    sGroupBox1->setGeometry(8, 8, 385, 305);
    sGroupBox1->setMouseTracking(true);
    sGroupBox1->installEventFilter(this);
    for (int n = 0; n < library::kCategoryCount; ++n) {
        auto* box =
            new QCheckBox(QString::fromStdString(library::packageCheckBoxText(n)), sGroupBox1);
        box->setObjectName(QStringLiteral("c%1").arg(n));
        box->setGeometry(n < 7 ? 8 : 192, 24 + 24 * (n % 7), 180, 19);
        box->setMouseTracking(true);
        box->installEventFilter(this);
        connect(box, &QCheckBox::clicked, this, [this, n] {
            try {
                packageClicked(n);
            } catch (const std::exception& error) {
                showUncaughtError(this, error);
            }
        });
        boxes[static_cast<size_t>(n)] = box;
    }
    gSobre = new QLabel(QStringLiteral("Conteúdo:"), sGroupBox1);
    gSobre->move(8, 208);
    gSobre->setMinimumWidth(360);
    setDarkText(gSobre);
    memo = new QPlainTextEdit(sGroupBox1);
    memo->setObjectName(QStringLiteral("memo"));
    memo->setGeometry(8, 224, 369, 76);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* sGroupBox3 = new QGroupBox(QStringLiteral(" Progresso "), this);
    sGroupBox3->setGeometry(8, 327, 385, 58);
    lProgresso = new QLabel(QStringLiteral("Pacote atual: --"), sGroupBox3);
    lProgresso->setGeometry(8, 16, 369, 15);
    setDarkText(lProgresso);
    Gauge = new QProgressBar(sGroupBox3);
    Gauge->setGeometry(8, 32, 369, 20);
    Gauge->setRange(0, 100);
    Gauge->setValue(0);

    bCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    bCancelar->setObjectName(QStringLiteral("bCancelar"));
    bCancelar->setGeometry(192, 390, 97, 25);
    bCancelar->setEnabled(false);
    bDownload = new QPushButton(QStringLiteral("Download"), this);
    bDownload->setObjectName(QStringLiteral("bDownload"));
    bDownload->setGeometry(296, 390, 97, 25);
    bDownload->setDefault(true);
    auto* sLabel1 = new QLabel(
        QStringLiteral("Atenção: é necessário que o software tenha acesso à internet."), this);
    sLabel1->move(52, 419);
    setDarkText(sLabel1);
    bDownload->setIcon(ui::buttonImage(ui::ButtonImage::Download));
    bCancelar->setIcon(ui::buttonImage(ui::ButtonImage::Cancel));
    ui::applySkin(this);
}

void TfrmDownload::packageClicked(int index) {
    CurrentPackage = index;
    ui::MainWindowAccess* main = ui::windows().main;
    if (main) {
        main->shared().PackageSelection[static_cast<size_t>(index)] =
            boxes[static_cast<size_t>(index)]->isChecked();
        memo->setPlainText(readDescription(main->layout().descriptionFile(index)));
    }
}

void TfrmDownload::packageHovered(int index) {
    if (CurrentPackage != -1) return;
    CurrentPackage = index;
    if (ui::MainWindowAccess* main = ui::windows().main)
        memo->setPlainText(readDescription(main->layout().descriptionFile(index)));
    gSobre->setText(QStringLiteral(" Conteúdo - ") + boxes[static_cast<size_t>(index)]->text() +
                    QLatin1Char(' '));
    ui::pump();
}

void TfrmDownload::setPackageChecked(int index, bool checked) {
    QCheckBox* box = boxes.at(static_cast<size_t>(index));
    if (box->isChecked() == checked) return;
    box->setChecked(checked);
    packageClicked(index);
}

void TfrmDownload::showModally() {
    closing_ = false;
    exec();
}

bool TfrmDownload::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == sGroupBox1) {
            CurrentPackage = -1;
        } else {
            for (int n = 0; n < library::kCategoryCount; ++n) {
                if (watched != boxes[static_cast<size_t>(n)]) continue;
                try {
                    packageHovered(n);
                } catch (const std::exception& error) {
                    showUncaughtError(this, error);
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmDownload::FormClose() {
    if (closing_) return;
    closing_ = true;
    if (ui::MainWindowAccess* main = ui::windows().main)
        ui::guarded([main] { main->RefreshCategories(); });
}

void TfrmDownload::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TfrmDownload::done(int result) {
    FormClose();
    QDialog::done(result);
}

}  // namespace download
