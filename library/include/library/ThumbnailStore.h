// The pictures made of the drawings of a user's folder, kept beside the
// library so that a second visit shows them at once: Miniaturas/<the
// folder's key>/<the drawing's key>.mini, never anything in the user's
// folder. A drawing's key comes from its path below the folder, its size
// and its modification time, so a changed drawing gets a new one; tidy()
// takes away the pictures of drawings that changed or went. Each folder's
// pictures lie apart, so one folder's going (or a disk of its pulled out)
// touches no other's.
//
// A picture file holds a line naming its drawing, size and time, then its
// PNG or, for a drawing no picture could be made of, why. It is read as
// hostile: bounded in size, and one that is not as written here, or not of
// the drawing asked for, counts as none. Writes go to a temporary file of
// their own that is renamed into place; a cache need not survive a crash,
// so nothing waits for the disk.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "library/BlockSource.h"
#include "library/Library.h"

namespace library {

class ThumbnailStore {
  public:
    static constexpr std::size_t kMaxPictureBytes = 1 << 20;

    ThumbnailStore(const Layout& layout, const std::filesystem::path& folder);

    struct Picture {
        bool failed = false;
        std::string bytes;  // the PNG; for a failure, why, in Portuguese
    };

    // The block's picture as kept; nothing when none is kept for it as it is now.
    std::optional<Picture> find(const Block& block) const;
    // False when it could not be kept (a full disk, a link where the store
    // should be); the picture is simply made again next time.
    bool keep(const Block& block, const Picture& picture) const;
    // Removes every picture of a drawing not in current, as it is now.
    void tidy(const std::vector<Block>& current) const;
    // Removes the folder's whole store, when the folder leaves the list.
    void removeAll() const;

    // The folder's drawings as its last complete listing found them, kept so
    // that a second visit shows them at once while the folder is walked
    // again. Read as hostile: a line that names no drawing below the folder
    // is left out, and no more than kMaxFolderDrawings are taken.
    bool keepListing(const std::vector<Block>& blocks) const;
    std::vector<Block> lastListing() const;

    // Where the folder's pictures lie.
    const std::filesystem::path& place() const { return place_; }

  private:
    std::filesystem::path fileOf(const Block& block) const;
    bool makePlace() const;
    // Writes text to a temporary file of its own and renames it over file.
    bool replace(const std::filesystem::path& file, const std::string& text) const;

    std::filesystem::path folder_;  // the user's
    std::filesystem::path root_;    // Miniaturas
    std::filesystem::path place_;   // Miniaturas/<folder key>
};

// A user's folder listed as FolderSource lists it, its complete listing kept
// in the folder's store for the next visit.
class KeptFolderSource final : public BlockSource {
  public:
    KeptFolderSource(const Layout& layout, std::filesystem::path folder);
    Listing list(const std::function<bool()>& stop = {}) const override;

  private:
    Layout layout_;
    std::filesystem::path folder_;
};

}  // namespace library
