// Writes a small demo block library beside a program folder: a few installed
// categories with drawn thumbnails, their drawing archives (encrypted with the
// library password by Info-ZIP's zip, when a drawing to pack is given) and a
// description file for every package.
//
//   tessaly-demo-library <program folder> [drawing.dwg]
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

#include "library/Library.h"

namespace {

struct DemoCategory {
    int index;
    QStringList blocks;
};

const QList<DemoCategory> kDemoCategories = {
    {0, {"Cadeira3D", "Mesa3D", "Poltrona3D", "Luminária3D"}},
    {3, {"Pia01", "Fogão01", "Geladeira01", "Balcão01", "Mesa.Redonda", "Armário-Alto"}},
    {9,
     {"Sofa01", "Sofa02", "Cama01", "Cama02", "Mesa01", "Cadeira01", "Estante01", "Criado-mudo",
      "Poltrona", "Escrivaninha", "Sapateira", "Cômoda"}},
};

// A line drawing in the manner of a block's plan view, different for every block.
QImage thumbnail(const QString& name, int seed) {
    QImage image(283, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(30, 30, 30), 2));
    const QRectF body(60 + seed % 3 * 8, 40 + seed % 2 * 10, 160 - seed % 4 * 12,
                      100 - seed % 3 * 10);
    switch (seed % 4) {
        case 0:
            painter.drawRect(body);
            painter.drawRect(body.adjusted(12, 12, -12, -40));
            break;
        case 1:
            painter.drawEllipse(body);
            painter.drawEllipse(body.center(), 12, 12);
            break;
        case 2:
            painter.drawRoundedRect(body, 14, 14);
            for (int i = 1; i < 4; ++i)
                painter.drawLine(QPointF(body.left() + body.width() * i / 4, body.top()),
                                 QPointF(body.left() + body.width() * i / 4, body.bottom()));
            break;
        default:
            painter.drawRect(body);
            painter.drawLine(body.topLeft(), body.bottomRight());
            painter.drawLine(body.topRight(), body.bottomLeft());
            break;
    }
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(QRectF(0, 165, 283, 30), Qt::AlignCenter, name);
    return image;
}

bool writeDescription(const QString& file, int index) {
    QFile output(file);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QString name =
        QString::fromStdString(std::string(library::categoryTable()[size_t(index)].name));
    const QString text =
        QStringLiteral(
            "Pacote de demonstração \"%1\".\r\nBlocos de exemplo com miniaturas geradas.\r\n"
            "Tamanho anunciado: %2 MB.\r\n")
            .arg(name)
            .arg(library::categoryTable()[size_t(index)].packageSizeMb);
    QStringEncoder windows1252("windows-1252");
    output.write(windows1252(text));
    return true;
}

bool packDrawing(const QString& drawing, const QString& blockName, const QString& archive) {
    QTemporaryDir staging;
    const QString member = staging.filePath(blockName + QStringLiteral(".DWG"));
    if (!QFile::copy(drawing, member)) return false;
    QFile::remove(archive);
    QProcess zip;
    zip.start(QStringLiteral("zip"),
              {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("-P"),
               QString::fromLatin1(library::kArchivePassword.data(),
                                   qsizetype(library::kArchivePassword.size())),
               archive, member});
    return zip.waitForFinished(30000) && zip.exitStatus() == QProcess::NormalExit &&
           zip.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "uso: tessaly-demo-library <pasta do programa> [desenho.dwg]\n");
        return 2;
    }
    const library::Layout layout(library::pathFromUtf8(arguments[1].toStdString()));
    const QString drawing = arguments.size() > 2 ? arguments[2] : QString();
    const QString root = QString::fromStdString(library::pathToUtf8(layout.libraryRoot()));
    QDir().mkpath(root);
    for (int n = 0; n < library::kCategoryCount; ++n) {
        if (!writeDescription(
                QString::fromStdString(library::pathToUtf8(layout.descriptionFile(n))), n)) {
            std::fprintf(stderr, "não foi possível escrever a descrição do pacote %d\n", n);
            return 1;
        }
    }
    int seed = 0;
    for (const DemoCategory& category : kDemoCategories) {
        const auto folder = layout.categoryFolder(category.index);
        const QString img = QString::fromStdString(library::pathToUtf8(library::imgFolder(folder)));
        const QString dwg = QString::fromStdString(library::pathToUtf8(library::dwgFolder(folder)));
        QDir().mkpath(img);
        QDir().mkpath(dwg);
        for (const QString& block : category.blocks) {
            if (!thumbnail(block, seed++)
                     .save(img + QLatin1Char('/') + block + QStringLiteral(".PNG"))) {
                std::fprintf(stderr, "não foi possível gravar a miniatura %s\n", qPrintable(block));
                return 1;
            }
            if (!drawing.isEmpty() &&
                !packDrawing(drawing, block,
                             dwg + QLatin1Char('/') + block + QStringLiteral(".DWG.zip"))) {
                std::fprintf(stderr, "não foi possível empacotar o desenho de %s\n",
                             qPrintable(block));
                return 1;
            }
        }
    }
    std::printf("biblioteca de demonstração em %s\n", qPrintable(root));
    return 0;
}
