// The real program, started as a user starts it, on a library made for the test.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

TEST(Startup, ProgramRunsFromACopiedFolderUntilClosed) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("tessaly"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TESSALY_PROGRAM), program));
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("Blocos/3/IMG")));

    QProcess tessaly;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    tessaly.setProcessEnvironment(environment);
    tessaly.start(program, {});
    ASSERT_TRUE(tessaly.waitForStarted(5000));
    // Past the first-show step (500 ms), the program is still up.
    EXPECT_FALSE(tessaly.waitForFinished(1500)) << tessaly.readAllStandardError().toStdString();
    EXPECT_EQ(tessaly.state(), QProcess::Running);
    tessaly.terminate();
    EXPECT_TRUE(tessaly.waitForFinished(5000));
}
