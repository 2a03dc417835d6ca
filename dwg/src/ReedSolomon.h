// The Reed-Solomon (255, k) codes that protect the file header and the pages
// of R2007 (AC1021) files. Byte i of a 255-byte codeword is the coefficient of
// x^i; the data bytes come first and the parity bytes after them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dwg::container {

class ReedSolomonCode {
  public:
    static constexpr std::size_t kCodewordSize = 255;

    // `primitivePolynomial` includes the x^8 term (e.g. 0x169).
    ReedSolomonCode(unsigned primitivePolynomial, std::size_t parityBytes);

    // The system pages and the file header: 239 data bytes per codeword.
    static const ReedSolomonCode& systemPages();
    // The data pages: 251 data bytes per codeword.
    static const ReedSolomonCode& dataPages();

    std::size_t dataBytes() const { return kCodewordSize - parity_; }

    // Corrects up to parity/2 wrong bytes in place. Returns false when the
    // codeword has more errors than the code can correct.
    bool correct(std::span<std::uint8_t, kCodewordSize> codeword) const;

  private:
    std::uint8_t multiply(std::uint8_t a, std::uint8_t b) const;
    std::uint8_t divide(std::uint8_t a, std::uint8_t b) const;
    std::uint8_t power(unsigned exponent) const { return exp_[exponent % 255]; }
    std::uint8_t evaluate(std::span<const std::uint8_t> polynomial, std::uint8_t x) const;

    // Each byte times one root: the syndromes of intact codewords, which is
    // nearly every codeword, cost one table look-up per byte and root.
    bool hasZeroSyndromes(std::span<const std::uint8_t, kCodewordSize> codeword) const;

    std::size_t parity_;
    std::array<std::uint8_t, 512> exp_{};
    std::array<unsigned, 256> log_{};
    std::vector<std::array<std::uint8_t, 256>> timesRoot_;
};

// Reads `blockCount` codewords stored interleaved (byte j of codeword i at
// offset i + j * blockCount), corrects each one and returns their data bytes
// one codeword after another. Throws when `stored` is too short or a codeword
// cannot be corrected.
std::vector<std::uint8_t> decodeInterleaved(std::span<const std::uint8_t> stored,
                                            std::size_t blockCount, const ReedSolomonCode& code);

}  // namespace dwg::container
