// One run of the main window that writes a block's drawing for other
// programs, as a drag or Ctrl+C does, prints where, and runs on until it is
// killed. Arguments: program folder, category, block name.
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <cstdio>
#include <string>

#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 4) return 2;
    browser::TfrmVisualizar window(library::Layout(library::pathFromUtf8(argv[1])));
    window.tBrowser->stop();
    const int category = std::stoi(argv[2]);
    window.cArea->setCurrentIndex(category);
    window.cAreaChange(category);
    const std::filesystem::path thumbnail = library::pathFromUtf8(std::string(argv[3]) + ".PNG");
    for (int i = 0; i < window.Lista->count(); ++i) {
        if (window.Lista->item(i).FileName != thumbnail) continue;
        const std::filesystem::path offered = window.writeBlockForOthers(i);
        std::printf("%s\n", library::pathToUtf8(offered).c_str());
        std::fflush(stdout);
        return application.exec();
    }
    return 3;
}
