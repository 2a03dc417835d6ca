// Where the blocks the grid shows come from: a publisher's category, a folder
// of the user's own drawings, the favourites or the recently used. The grid,
// the preview, export, drags and the search ask a source for its blocks and a
// block for its drawing; none of them knows how a source lays out its files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/Library.h"

namespace library {

// A block as favourites and recents remember it from one run to the next.
struct BlockRef {
    enum class Origin { Category, Folder };
    Origin origin = Origin::Category;
    int category = -1;             // Category: 0 to 13
    std::filesystem::path folder;  // Folder: the user's folder, as it was added
    // Category: the thumbnail's file name in IMG/. Folder: the drawing's path
    // below the folder.
    std::filesystem::path item;

    bool operator==(const BlockRef&) const = default;
    auto operator<=>(const BlockRef&) const = default;
};

// Whether ref names a block the way the program does: a category 0 to 13 and
// a plain file name, or an absolute folder and a path below it that never
// climbs out (no "..", no root). A ref read from a file must be.
bool isSoundRef(const BlockRef& ref);

enum class DrawingStorage {
    Archive,  // alone in a password-protected archive of the library
    File,     // a plain drawing file of the user's
};

struct Block {
    BlockRef ref;
    // The picture the publisher made for it; empty for a user's drawing,
    // whose picture comes from the drawing itself.
    std::filesystem::path thumbnail;
    // The archive, or the drawing file itself.
    std::filesystem::path drawing;
    DrawingStorage storage = DrawingStorage::Archive;
    // A user's drawing as it was listed; its cached picture is keyed by them.
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since 1970

    // The name the user knows it by: the file name without its last
    // extension, "Sofa01" for Sofa01.PNG and for Sofa01.dwg.
    std::filesystem::path name() const;
    // The file the grid lists it by: its thumbnail, else its drawing.
    const std::filesystem::path& shownFile() const {
        return thumbnail.empty() ? drawing : thumbnail;
    }
};

// A drawing of the user's folder, as a listing finds it.
Block folderBlock(const std::filesystem::path& folder, const std::filesystem::path& relative,
                  std::uint64_t size, std::int64_t modified);

// The block of a category's thumbnail (CATEGORY/IMG/<name>.PNG), found by its
// path alone: the category is the number its folder is named by (-1 for a
// folder of another name), the archive the one drawingArchivePath finds.
Block categoryBlockOf(const std::filesystem::path& thumbnail);

// A drawing of the user's is this many bytes at most: a larger file is no
// block drawing, and reading it must not take the memory of the program.
inline constexpr std::uint64_t kMaxDrawingBytes = 64ull << 20;

class DrawingUnavailable : public std::runtime_error {
  public:
    enum class Reason {
        // Not there now, held by another program, or on a disk that does not
        // answer: it may well be readable later.
        Unreachable,
        // What is there is no block drawing: a link, not a regular file, too
        // large, a damaged archive. It stays so until the file changes.
        Unusable,
    };
    DrawingUnavailable(Reason reason, const std::string& what)
        : std::runtime_error(what), reason_(reason) {}
    Reason reason() const { return reason_; }

  private:
    Reason reason_;
};

// The bytes of the block's drawing: its archive's drawing member, or the
// user's file, opened without following a link at its name. At most maxBytes
// are read; throws DrawingUnavailable with a Portuguese message.
std::vector<std::uint8_t> readBlockDrawing(const Block& block,
                                           std::uint64_t maxBytes = kMaxDrawingBytes);

// What a source found.
struct Listing {
    std::vector<Block> blocks;
    // Why some or all of its blocks could not be listed, in Portuguese;
    // empty when every one was.
    std::string problem;
    // The source's place itself could not be read (a pulled-out disk, a
    // share that does not answer): blocks is empty for it.
    bool unreachable = false;
    // Favourites and recents: the blocks gone for good, to be forgotten.
    std::vector<BlockRef> gone;
};

class BlockSource {
  public:
    virtual ~BlockSource() = default;
    // The blocks in the order the grid shows them. stop is asked now and then:
    // true ends a long listing with what was found so far.
    virtual Listing list(const std::function<bool()>& stop = {}) const = 0;
};

// A category folder: every block listBlocks finds, each with its archive;
// the category is the number the folder is named by. The library lies on
// the program's own disk: a category is listed at once.
class CategorySource final : public BlockSource {
  public:
    explicit CategorySource(std::filesystem::path categoryFolder);
    Listing list(const std::function<bool()>& stop = {}) const override;

  private:
    std::filesystem::path folder_;
};

// Bounds of a folder's walk, so that a folder of millions of files, or one
// nested without end, costs no more than this.
inline constexpr int kMaxFolderDepth = 32;
inline constexpr std::size_t kMaxFolderEntries = 500'000;
inline constexpr std::size_t kMaxFolderDrawings = 100'000;

// A folder of the user's: every file below it, in its sub-folders too, whose
// name ends in ".dwg" in any letter case, sorted by path with letter case
// ignored. The folder itself may be a link (to a share, another disk); no link
// inside it is followed, so a walk never leaves it and never runs in circles.
// Nothing is written into it.
class FolderSource final : public BlockSource {
  public:
    explicit FolderSource(std::filesystem::path folder);
    Listing list(const std::function<bool()>& stop = {}) const override;

  private:
    std::filesystem::path folder_;
};

// The favourites or the recently used: the blocks of refs still there, in the
// order given. A block whose category is no longer installed, whose folder is
// no longer in the user's list or whose file is gone is listed in gone; one
// whose folder cannot be reached now is left out, and kept.
class ChosenBlocks final : public BlockSource {
  public:
    ChosenBlocks(Layout layout, std::vector<std::filesystem::path> folders,
                 std::vector<BlockRef> refs);
    Listing list(const std::function<bool()>& stop = {}) const override;

  private:
    Layout layout_;
    std::vector<std::filesystem::path> folders_;
    std::vector<BlockRef> refs_;
};

}  // namespace library
