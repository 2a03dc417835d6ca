// The save dialog on its own: where it opens, and its texts and dates in Portuguese.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <fstream>
#include <optional>

#include "browser/BlockSaveDialog.h"
#include "library/Library.h"
#include "ui/Translations.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable, or removes it, for one test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<QByteArray> value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

fs::path dialogFolder(const QFileDialog& dialog) {
    return fs::path(dialog.directory().absolutePath().toStdString());
}

// The row of a name in the dialog's list once the model has read the folder.
QModelIndex rowOf(QTreeView* view, const QString& name) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row) {
            const QModelIndex index = view->model()->index(row, 0, root);
            if (index.data().toString() == name) return index;
        }
    }
    return {};
}

}  // namespace

TEST(BlockSaveDialog, OpensInTheLastFolderSavedToElseInDocuments) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const fs::path home = fs::path(temp.path().toStdString()) / "casa";
#ifdef _WIN32
    // Windows' documents folder is the shell's own, which no variable moves:
    // the cases take it as it is, and the one without it cannot be made there.
    const fs::path documents = library::pathFromUtf8(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
    const bool documentsMovable = false;
#else
    const fs::path documents = home / "Documents";
    const bool documentsMovable = true;
#endif
    const fs::path drawings = home / "desenhos";
    struct Case {
        const char* name;
        bool documentsExists;
        std::optional<fs::path> savedIn;  // a drawing saved earlier in the run
        bool savedFolderRemoved;
        fs::path expected;
    };
    const Case cases[] = {
        {"first save of the run", true, std::nullopt, false, documents},
        {"first save, no documents folder", false, std::nullopt, false, home},
        {"after a save", true, drawings, false, drawings},
        {"after a save into a folder since removed", true, drawings, true, documents},
    };
    ScopedEnv homeVariable("HOME", QByteArray::fromStdString(library::pathToUtf8(home)));
    ScopedEnv configVariable("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv documentsVariable("XDG_DOCUMENTS_DIR", std::nullopt);
    for (const Case& c : cases) {
        if (!c.documentsExists && !documentsMovable) continue;
        SCOPED_TRACE(c.name);
        fs::remove_all(home);
        fs::create_directories(home);
        if (c.documentsExists) fs::create_directories(documents);
        browser::BlockSaveDialog dialog(nullptr);
        if (c.savedIn) {
            fs::create_directories(*c.savedIn);
            dialog.propose("Sofa01");
            dialog.saved(*c.savedIn / "Sofa01.DWG");
            if (c.savedFolderRemoved) fs::remove_all(*c.savedIn);
        }
        dialog.propose("Mesa");
        EXPECT_EQ(dialogFolder(dialog), c.expected);
    }
}

TEST(BlockSaveDialog, FolderKindAndDatesArePortuguese) {
    ASSERT_TRUE(ui::installPortugueseTranslations(*qApp));
    // A system set to English must not show through.
    const QLocale system = QLocale::system();
    ASSERT_EQ(QLocale().name(), QStringLiteral("pt_BR"));

    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QDir(temp.path()).mkdir(QStringLiteral("Projetos"));
    const QString file = temp.filePath(QStringLiteral("planta.DWG"));
    std::ofstream(file.toStdString()) << "AC1015";
    const QDateTime written(QDate(2024, 3, 7), QTime(15, 42));
    {
        QFile touch(file);
        ASSERT_TRUE(touch.open(QIODevice::ReadWrite));
        ASSERT_TRUE(touch.setFileTime(written, QFileDevice::FileModificationTime));
    }

    browser::BlockSaveDialog dialog(nullptr);
    dialog.setDirectory(temp.path());
    dialog.setViewMode(QFileDialog::Detail);
    dialog.show();
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(view, nullptr);

    const QModelIndex folder = rowOf(view, QStringLiteral("Projetos"));
    ASSERT_TRUE(folder.isValid()) << "the folder never showed";
    // Qt names a folder's kind after Windows Explorer there, after the others elsewhere.
#ifdef _WIN32
    EXPECT_EQ(folder.siblingAtColumn(2).data().toString(), QStringLiteral("Pasta de arquivos"));
#else
    EXPECT_EQ(folder.siblingAtColumn(2).data().toString(), QStringLiteral("Pasta"));
#endif

    const QModelIndex drawing = rowOf(view, QStringLiteral("planta.DWG"));
    ASSERT_TRUE(drawing.isValid()) << "the file never showed";
    const QString shown = drawing.siblingAtColumn(3).data().toString();
    EXPECT_EQ(QDateTime::fromString(shown, QStringLiteral("dd/MM/yyyy HH:mm")), written)
        << shown.toStdString() << " (system locale " << system.name().toStdString() << ")";
    dialog.close();
}
