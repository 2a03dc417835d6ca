// The program folder a user installs, moved elsewhere, as a user would.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QString readText(const QString& file) {
    QFile input(file);
    return input.open(QIODevice::ReadOnly) ? QString::fromUtf8(input.readAll()) : QString();
}

}  // namespace

TEST(Install, FolderMovedElsewhereHoldsItsFilesAndRuns) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString installed = root.filePath(QStringLiteral("instalado"));
    QProcess install;
    install.start(QStringLiteral(TESSALY_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(TESSALY_BUILD_DIR),
                   QStringLiteral("--prefix"), installed});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    // Moved: nothing may point back to where it was installed.
    QDir(root.path()).mkpath(QStringLiteral("outro lugar"));
    const QString folder = root.filePath(QStringLiteral("outro lugar/Tessaly"));
    ASSERT_TRUE(QDir().rename(installed, folder));

    QStringList expected = {
        QStringLiteral("tessaly"),          QStringLiteral("vazio.dwg"),
        QStringLiteral("tessaly.desktop"),  QStringLiteral("tessaly.png"),
        QStringLiteral("Ajuda/index.html"), QStringLiteral("translations/qtbase_pt_BR.qm")};
    for (int n = 0; n < 14; ++n) expected << QStringLiteral("Blocos/%1.txt").arg(n);
    if (TESSALY_HAS_CHM) expected << QStringLiteral("Ajuda.chm");
    for (const QString& file : expected)
        EXPECT_TRUE(QFile::exists(folder + QLatin1Char('/') + file)) << file.toStdString();
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/Ajuda/Ajuda.hhp")));

    // Every picture a page shows is there.
    const QDir pages(folder + QStringLiteral("/Ajuda"));
    const QStringList html = pages.entryList({QStringLiteral("*.html")});
    EXPECT_GE(html.size(), 5);
    int pictures = 0;
    static const QRegularExpression source(QStringLiteral("src=\"([^\"]+)\""));
    for (const QString& page : html) {
        for (const auto& match : source.globalMatch(readText(pages.filePath(page)))) {
            ++pictures;
            EXPECT_TRUE(QFile::exists(pages.filePath(match.captured(1))))
                << page.toStdString() << ": " << match.captured(1).toStdString();
        }
    }
    EXPECT_GE(pictures, 5);

    const QString entry = readText(folder + QStringLiteral("/tessaly.desktop"));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=tessaly\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nIcon=tessaly\n")));

    // Started from another working folder, it comes up and stays up.
    QProcess tessaly;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    tessaly.setProcessEnvironment(environment);
    tessaly.setWorkingDirectory(root.path());
    tessaly.start(folder + QStringLiteral("/tessaly"), {});
    ASSERT_TRUE(tessaly.waitForStarted(5000));
    EXPECT_FALSE(tessaly.waitForFinished(1500)) << tessaly.readAllStandardError().toStdString();
    tessaly.terminate();
    EXPECT_TRUE(tessaly.waitForFinished(5000));
}
