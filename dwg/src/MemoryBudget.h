// What one read may allocate, set by the size of the file. Compressed
// sections and counts stored in a few bits let a small file describe far more
// data than it holds; every large allocation is charged here first, so that a
// hostile file fails with a clear error instead of exhausting memory.
//
// A file of n bytes may charge 48 MiB + 32 n. The densest real drawings need
// about 20 n; the margin up to 64 MiB + 40 n covers the file's own bytes and
// the small allocations that are not charged (names, handles of one object).
#pragma once

#include <dwg/Error.h>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace dwg::detail {

class MemoryBudget {
  public:
    static constexpr std::size_t kBase = std::size_t{48} << 20;
    static constexpr std::size_t kPerFileByte = 32;

    explicit MemoryBudget(std::size_t fileSize)
        : left_(fileSize > (std::numeric_limits<std::size_t>::max() - kBase) / kPerFileByte
                    ? std::numeric_limits<std::size_t>::max()
                    : kBase + kPerFileByte * fileSize) {}

    std::size_t left() const { return left_; }

    // Throws Error::Kind::TooLarge, charging nothing, when `count` items of
    // `each` bytes do not fit in what is left.
    void charge(std::uint64_t count, std::size_t each = 1) {
        if (each != 0 && count > left_ / each)
            throw Error::tooLarge("o conteúdo declarado excede o que o arquivo pode conter");
        left_ -= static_cast<std::size_t>(count) * each;
    }

    void release(std::size_t bytes) { left_ += bytes; }

  private:
    std::size_t left_;
};

// A charge held for one scope, for buffers that live only while a page is decoded.
class ScopedCharge {
  public:
    ScopedCharge(MemoryBudget& budget, std::size_t bytes) : budget_(budget), bytes_(bytes) {
        budget_.charge(bytes);
    }
    ~ScopedCharge() { budget_.release(bytes_); }
    ScopedCharge(const ScopedCharge&) = delete;
    ScopedCharge& operator=(const ScopedCharge&) = delete;

  private:
    MemoryBudget& budget_;
    std::size_t bytes_;
};

}  // namespace dwg::detail
