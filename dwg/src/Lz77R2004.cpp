#include "Lz77R2004.h"

#include "ContainerError.h"
#include "ExpandedOutput.h"

namespace dwg::container {

namespace {

class Lz77Decoder {
  public:
    Lz77Decoder(std::span<const std::uint8_t> input, std::span<std::uint8_t> output)
        : input_(input), output_(output) {}

    std::size_t run() {
        std::uint8_t opcode = next();
        if (opcode <= 0x0F) {
            copyLiterals(literalLength(opcode));
            opcode = next();
        } else if (opcode > 0x11) {
            // Writers always open with a literal run; this older form is
            // accepted for robustness.
            copyLiterals(opcode - 17u);
            opcode = next();
        }
        while (opcode != 0x11) {
            std::size_t length = 0;
            std::size_t distance = 0;
            unsigned trailingLiterals = 0;
            if (opcode >= 0x40) {
                length = (opcode >> 4) - 1u;
                const std::uint8_t low = next();
                distance = ((std::size_t{low} << 2) | ((opcode >> 2) & 3u)) + 1;
                trailingLiterals = opcode & 3u;
            } else if (opcode >= 0x20) {
                length = opcode & 0x1Fu;
                if (length == 0) length = extendedLength(0x1F);
                length += 2;
                const std::uint8_t b1 = next();
                const std::uint8_t b2 = next();
                distance = ((std::size_t{b2} << 6) | (b1 >> 2)) + 1;
                trailingLiterals = b1 & 3u;
            } else if (opcode >= 0x10) {
                length = opcode & 7u;
                if (length == 0) length = extendedLength(7);
                length += 2;
                const std::uint8_t b1 = next();
                const std::uint8_t b2 = next();
                distance = ((std::size_t{b2} << 6) | (b1 >> 2)) + 0x4000;
                if (opcode & 8) distance += 0x4000;
                trailingLiterals = b1 & 3u;
            } else {
                throwDamaged("código de compressão inválido");
            }
            output_.copyMatch(distance, length);
            if (trailingLiterals != 0) {
                copyLiterals(trailingLiterals);
                opcode = next();
            } else {
                opcode = next();
                if (opcode <= 0x0F) {
                    copyLiterals(literalLength(opcode));
                    opcode = next();
                }
            }
        }
        return output_.finish();
    }

  private:
    std::uint8_t next() {
        if (inputPos_ >= input_.size()) throwDamaged("dados comprimidos truncados");
        return input_[inputPos_++];
    }

    // A run of zero bytes extends a length by 255 each; the first non-zero
    // byte closes it.
    std::size_t extendedLength(std::size_t base) {
        std::size_t sum = base;
        for (;;) {
            const std::uint8_t b = next();
            if (b != 0) return sum + b;
            sum += 0xFF;
        }
    }

    std::size_t literalLength(std::uint8_t code) {
        return (code != 0 ? std::size_t{code} : extendedLength(0x0F)) + 3;
    }

    void copyLiterals(std::size_t count) {
        if (count > input_.size() - inputPos_) throwDamaged("dados comprimidos truncados");
        output_.putRun(input_.data() + inputPos_, count, input_.size() - inputPos_);
        inputPos_ += count;
    }

    std::span<const std::uint8_t> input_;
    std::size_t inputPos_ = 0;
    ExpandedOutput output_;
};

}  // namespace

std::size_t decompressLz77R2004(std::span<const std::uint8_t> compressed,
                                std::span<std::uint8_t> expanded) {
    return Lz77Decoder(compressed, expanded).run();
}

std::vector<std::uint8_t> decompressLz77R2004(std::span<const std::uint8_t> compressed,
                                              std::size_t expandedSize) {
    std::vector<std::uint8_t> expanded(expandedSize, 0);
    decompressLz77R2004(compressed, expanded);
    return expanded;
}

}  // namespace dwg::container
