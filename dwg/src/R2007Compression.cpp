#include "R2007Compression.h"

#include <array>

#include "ContainerError.h"
#include "ExpandedOutput.h"

namespace dwg::container {

namespace {

// Literal runs are stored shuffled: whole chunks of 32 bytes, then the rest.
// Row n gives, for a piece of n bytes, the source index of each output byte.
constexpr std::array<std::array<std::uint8_t, 32>, 33> kLiteralOrder = {{
    {},
    {0},
    {1, 0},
    {2, 1, 0},
    {0, 1, 2, 3},
    {4, 0, 1, 2, 3},
    {5, 1, 2, 3, 4, 0},
    {6, 5, 1, 2, 3, 4, 0},
    {0, 1, 2, 3, 4, 5, 6, 7},
    {8, 0, 1, 2, 3, 4, 5, 6, 7},
    {9, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {10, 9, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7},
    {12, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7},
    {13, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {14, 13, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {9, 10, 11, 12, 13, 14, 15, 16, 8, 0, 1, 2, 3, 4, 5, 6, 7},
    {17, 9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {18, 17, 16, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {20, 16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {21, 20, 16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {22, 21, 20, 16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {16, 17, 18, 19, 20, 21, 22, 23, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {17, 18, 19, 20, 21, 22, 23, 24, 16, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {25, 17, 18, 19, 20, 21, 22, 23, 24, 16, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {26, 25, 17, 18, 19, 20, 21, 22, 23, 24, 16, 8, 9, 10,
     11, 12, 13, 14, 15, 0,  1,  2,  3,  4,  5,  6, 7},
    {24, 25, 26, 27, 16, 17, 18, 19, 20, 21, 22, 23, 8, 9,
     10, 11, 12, 13, 14, 15, 0,  1,  2,  3,  4,  5,  6, 7},
    {28, 24, 25, 26, 27, 16, 17, 18, 19, 20, 21, 22, 23, 8, 9,
     10, 11, 12, 13, 14, 15, 0,  1,  2,  3,  4,  5,  6,  7},
    {29, 28, 24, 25, 26, 27, 16, 17, 18, 19, 20, 21, 22, 23, 8,
     9,  10, 11, 12, 13, 14, 15, 0,  1,  2,  3,  4,  5,  6,  7},
    {30, 26, 27, 28, 29, 18, 19, 20, 21, 22, 23, 24, 25, 10, 11, 12,
     13, 14, 15, 16, 17, 2,  3,  4,  5,  6,  7,  8,  9,  1,  0},
    {24, 25, 26, 27, 28, 29, 30, 31, 16, 17, 18, 19, 20, 21, 22, 23,
     8,  9,  10, 11, 12, 13, 14, 15, 0,  1,  2,  3,  4,  5,  6,  7},
}};

class R2007Decoder {
  public:
    R2007Decoder(std::span<const std::uint8_t> input, std::span<std::uint8_t> output)
        : input_(input), output_(output) {}

    std::size_t run() {
        if (input_.empty()) return 0;
        std::uint8_t opcode = next();
        std::size_t literals = 0;
        if ((opcode & 0xF0) == 0x20) {
            pos_ = 3;
            literals = next() & 7u;
            if (literals == 0) throwDamaged("início de dados comprimidos inválido");
        }
        while (pos_ < input_.size()) {
            if (literals == 0) literals = literalLength(opcode);
            copyLiterals(literals);
            literals = 0;
            if (pos_ >= input_.size()) break;
            opcode = next();
            for (;;) {
                const Match match = readMatch(opcode);
                output_.copyMatch(match.distance, match.length);
                literals = opcode & 7u;
                if (literals != 0 || pos_ >= input_.size()) break;
                opcode = next();
                if ((opcode >> 4) == 0) break;
                if ((opcode >> 4) == 0x0F) opcode &= 0x0F;
            }
        }
        return output_.finish();
    }

  private:
    struct Match {
        std::size_t length;
        std::size_t distance;
    };

    std::uint8_t next() {
        if (pos_ >= input_.size()) throwDamaged("dados comprimidos truncados");
        return input_[pos_++];
    }

    std::size_t literalLength(std::uint8_t opcode) {
        if (opcode > 0x0F) throwDamaged("código de compressão inválido");
        std::size_t length = opcode + 8u;
        if (length == 0x17) {
            const std::uint8_t extra = next();
            length += extra;
            if (extra == 0xFF) {
                std::size_t word = 0;
                do {
                    word = next();
                    word |= std::size_t{next()} << 8;
                    length += word;
                } while (word == 0xFFFF);
            }
        }
        return length;
    }

    // Reads the instruction that starts with `opcode`; `opcode` becomes the
    // last byte consumed, whose low bits say what follows.
    Match readMatch(std::uint8_t& opcode) {
        Match match{};
        switch (opcode >> 4) {
            case 0: {
                match.length = (opcode & 0x0Fu) + 0x13;
                const std::uint8_t low = next();
                opcode = next();
                match.length += (opcode >> 3) & 0x10u;
                match.distance = ((opcode & 0x78u) << 5) + low + 1;
                break;
            }
            case 1: {
                match.length = (opcode & 0x0Fu) + 3;
                const std::uint8_t low = next();
                opcode = next();
                match.distance = ((opcode & 0xF8u) << 5) + low + 1;
                break;
            }
            case 2: {
                match.distance = next();
                match.distance |= std::size_t{next()} << 8;
                match.length = opcode & 7u;
                if ((opcode & 8) == 0) {
                    opcode = next();
                    match.length += opcode & 0xF8u;
                } else {
                    match.distance += 1;
                    match.length += std::size_t{next()} << 3;
                    opcode = next();
                    match.length += (std::size_t{opcode & 0xF8u} << 8) + 0x100;
                }
                break;
            }
            default:
                match.length = opcode >> 4;
                match.distance = opcode & 0x0Fu;
                opcode = next();
                match.distance += ((opcode & 0xF8u) << 1) + 1;
                break;
        }
        return match;
    }

    void copyLiterals(std::size_t count) {
        output_.ensureRoom(count);
        if (count > input_.size() - pos_) throwDamaged("dados comprimidos truncados");
        while (count > 0) {
            const std::size_t piece = count >= 32 ? 32 : count;
            const auto& order = kLiteralOrder[piece];
            for (std::size_t i = 0; i < piece; ++i) output_.put(input_[pos_ + order[i]]);
            pos_ += piece;
            count -= piece;
        }
    }

    std::span<const std::uint8_t> input_;
    std::size_t pos_ = 0;
    ExpandedOutput output_;
};

}  // namespace

std::size_t decompressR2007(std::span<const std::uint8_t> compressed,
                            std::span<std::uint8_t> expanded) {
    return R2007Decoder(compressed, expanded).run();
}

std::vector<std::uint8_t> decompressR2007(std::span<const std::uint8_t> compressed,
                                          std::size_t expandedSize) {
    std::vector<std::uint8_t> expanded(expandedSize, 0);
    decompressR2007(compressed, expanded);
    return expanded;
}

}  // namespace dwg::container
