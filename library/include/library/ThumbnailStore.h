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

    // Where the folder's pictures lie.
    const std::filesystem::path& place() const { return place_; }

  private:
    std::filesystem::path fileOf(const Block& block) const;
    bool makePlace() const;

    std::filesystem::path root_;   // Miniaturas
    std::filesystem::path place_;  // Miniaturas/<folder key>
};

}  // namespace library
