// A program folder of its own with a block library built from drawings made in
// code: each block a thumbnail and an encrypted archive holding its drawing,
// as the package builder lays them out.
#pragma once

#include <dwg/Writer.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TemporaryFolders.h"
#include "Sketch.h"
#include "archive/ZipWriter.h"
#include "library/Library.h"

namespace searchtest {

namespace fs = std::filesystem;

inline const demo::Pen kOutline{"CONTORNO", 7};
inline const demo::Pen kLabel{"TEXTO", 5};

// A w × h rectangle in centimetres with one text inside.
inline dwg::Drawing labelledBox(double width, double height, const std::string& label) {
    demo::Sketch sketch;
    sketch.rectangle(kOutline, {0, 0}, width, height);
    if (!label.empty()) sketch.text(kLabel, label, {2, 2}, 3);
    return sketch.finish();
}

class TemporaryFolder {
  public:
    TemporaryFolder() {
        path_ = testsupport::makeTemporaryFolder("tessaly-search");
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

class Library {
  public:
    Library() : layout_(folder_.path()) { fs::create_directories(layout_.libraryRoot()); }

    const library::Layout& layout() const { return layout_; }
    fs::path categoryFolder(int category) const { return layout_.categoryFolder(category); }

    // The thumbnail's bytes are not looked at by the index; a real PNG is
    // written where a window shows them.
    void addBlock(int category, const std::string& name, const dwg::Drawing& drawing,
                  const std::string& thumbnailBytes = "PNG") {
        addBlockIn(categoryFolder(category), name, drawing, thumbnailBytes);
    }

    static void addBlockIn(const fs::path& categoryFolder, const std::string& name,
                           const dwg::Drawing& drawing, const std::string& thumbnailBytes = "PNG") {
        writeFile(library::imgFolder(categoryFolder) / library::pathFromUtf8(name + ".PNG"), thumbnailBytes);
        const std::vector<std::uint8_t> dwgBytes = dwg::writeR2000(drawing);
        archive::ZipWriter zip(1704067200, std::string(library::kArchivePassword));
        zip.addFile(name + ".DWG", dwgBytes);
        const std::vector<std::uint8_t> zipBytes = zip.finish();
        writeFile(library::dwgFolder(categoryFolder) / library::pathFromUtf8(name + ".DWG.zip"),
                  std::string(zipBytes.begin(), zipBytes.end()));
    }

    static void writeFile(const fs::path& file, const std::string& bytes) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

  private:
    TemporaryFolder folder_;
    library::Layout layout_;
};

}  // namespace searchtest
