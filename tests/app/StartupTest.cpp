// The real program, started as a user starts it, on a library made for the test.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// The program's windows off the screen where it has that platform. The
// Windows build has only the system's own (a static Qt links its default),
// so there it shows them on the test's desktop, and closing it is the
// message Windows sends its windows.
QProcessEnvironment offscreen() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#ifdef _WIN32
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
#else
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
#endif
    return environment;
}

// The built program's own name: tessaly.exe on Windows, which starts nothing else.
QString programName() {
    return QFileInfo(QStringLiteral(TESSALY_PROGRAM)).fileName();
}

}  // namespace

// Killed, as a crash or the task manager ends it, the program leaves no lock
// that keeps the next start from running.
TEST(Startup, ProgramRunsFromACopiedFolderUntilClosedAndAgainAfterAKill) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(programName());
    ASSERT_TRUE(QFile::copy(QStringLiteral(TESSALY_PROGRAM), program));
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("Blocos/3/IMG")));

    for (const bool killed : {true, false}) {
        SCOPED_TRACE(killed ? "killed" : "closed");
        QProcess tessaly;
        tessaly.setProcessEnvironment(offscreen());
        tessaly.start(program, {});
        ASSERT_TRUE(tessaly.waitForStarted(5000));
        // Past the first-show step (500 ms), the program is still up.
        EXPECT_FALSE(tessaly.waitForFinished(1500))
            << tessaly.readAllStandardError().toStdString();
        EXPECT_EQ(tessaly.state(), QProcess::Running);
        if (killed)
            tessaly.kill();
        else
            tessaly.terminate();
        EXPECT_TRUE(tessaly.waitForFinished(5000));
    }
}

namespace {

void writeText(const QString& file, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(file).path());
    QFile output(file);
    ASSERT_TRUE(output.open(QIODevice::WriteOnly));
    output.write(bytes);
}

// Whether the folder's file system keeps names that differ only in case apart.
bool namesDifferInCase(const QString& folder) {
    writeText(folder + QStringLiteral("/caixa"), "lower");
    const bool apart = !QFile::exists(folder + QStringLiteral("/CAIXA"));
    QFile::remove(folder + QStringLiteral("/caixa"));
    return apart;
}

}  // namespace

TEST(Startup, ASecondInstanceOnTheSameFolderSaysSoAndTouchesNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(programName());
    ASSERT_TRUE(QFile::copy(QStringLiteral(TESSALY_PROGRAM), program));
    QProcess first;
    first.setProcessEnvironment(offscreen());
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    EXPECT_FALSE(first.waitForFinished(1500));
    // Made while the first runs: the second instance must not clean it up.
    const QString staging = folder.filePath(QStringLiteral("Blocos/.3.novo-Ab12Cd/3/IMG/x.PNG"));
    writeText(staging, "staging");

    QProcess second;
    second.setProcessEnvironment(offscreen());
    second.start(program, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    QByteArray said;
    for (int round = 0; round < 100 && !said.contains('\n'); ++round) {
        second.waitForReadyRead(100);
        said += second.readAllStandardError();
    }
    EXPECT_TRUE(QString::fromUtf8(said).contains(
        QStringLiteral("O Tessaly já está aberto nesta pasta.")))
        << said.toStdString();
    EXPECT_TRUE(QFile::exists(staging));
    second.kill();
    second.waitForFinished(5000);
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(5000));
}

TEST(Startup, WhatAKilledRunLeftIsClearedAndAPutAsideCategoryComesBack) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(programName());
    ASSERT_TRUE(QFile::copy(QStringLiteral(TESSALY_PROGRAM), program));
    const QStringList leftovers = {
        QStringLiteral("Blocos/.9.novo-Ab12Cd/9/IMG/novo.PNG"), QStringLiteral("Blocos/9.zip"),
        QStringLiteral("Blocos/.9.zip.k7Lm9N.part"), QStringLiteral("TMP.ZIP"),
        QStringLiteral("Blocos/Sofa~1.DWG")};
    for (const QString& file : leftovers) writeText(folder.filePath(file), "leftover");
    writeText(folder.filePath(QStringLiteral("Blocos/.9.antigo-Ef34Gh/9/IMG/Sofa.PNG")), "old");
    // What the killed run recorded before creating each of them; the last
    // line was torn by the kill.
    writeText(folder.filePath(QStringLiteral("tessaly.journal")),
              "+ Blocos/.9.novo-Ab12Cd .\n+ Blocos/9.zip .\n+ Blocos/.9.antigo-Ef34Gh .\n"
              "+ TMP.ZIP .\n+ Blocos/Sofa~1.DWG .\n+ Blocos/Sofa.DWG");
    // The user's files, a folder of the program's shape no journal names, and
    // the partial download with its identity: the next run continues it.
    QStringList kept = {QStringLiteral("Blocos/9.txt"), QStringLiteral("Blocos/notas.zip"),
                        QStringLiteral("Blocos/Sofa.DWG"),
                        QStringLiteral("Blocos/.9.novo-Zz99Yy/9/IMG/x.PNG"),
                        QStringLiteral("Blocos/.9.zip.part"),
                        QStringLiteral("Blocos/.9.zip.part.id")};
    // A name that differs from the program's only in case is another file
    // only where the file system tells them apart (not on Windows).
    if (namesDifferInCase(folder.path())) kept << QStringLiteral("tmp.zip");
    for (const QString& file : kept) writeText(folder.filePath(file), "the user's");

    QProcess tessaly;
    tessaly.setProcessEnvironment(offscreen());
    tessaly.start(program, {});
    ASSERT_TRUE(tessaly.waitForStarted(5000));
    EXPECT_FALSE(tessaly.waitForFinished(1500));
    tessaly.terminate();
    EXPECT_TRUE(tessaly.waitForFinished(5000));

    for (const QString& file : leftovers)
        EXPECT_FALSE(QFile::exists(folder.filePath(file))) << file.toStdString();
    for (const QString& file : kept)
        EXPECT_TRUE(QFile::exists(folder.filePath(file))) << file.toStdString();
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("Blocos/9/IMG/Sofa.PNG"))));
    EXPECT_FALSE(QDir(folder.filePath(QStringLiteral("Blocos/.9.antigo-Ef34Gh"))).exists());
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("tessaly.journal"))))
        << "a journal that lists nothing is removed";
}
