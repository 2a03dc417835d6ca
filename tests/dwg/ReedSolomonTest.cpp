// The Reed-Solomon decoder: codewords made by an independent encoder are
// accepted, up to parity/2 wrong bytes anywhere are repaired, more are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <stdexcept>

#include "ReedSolomon.h"

namespace {

using dwg::container::decodeInterleaved;
using dwg::container::ReedSolomonCode;
using Codeword = std::array<std::uint8_t, 255>;

// A plain encoder: with byte i as the coefficient of x^i and the data in the
// low positions, the parity p must satisfy x^k p(x) = d(x) mod g(x), i.e.
// p(x) = d(x) x^(255-k) mod g(x), with g's roots alpha^1 .. alpha^(255-k).
class TestEncoder {
  public:
    TestEncoder(unsigned polynomial, std::size_t parity) : parity_(parity) {
        unsigned x = 1;
        for (unsigned i = 0; i < 255; ++i) {
            exp_[i] = exp_[i + 255] = static_cast<std::uint8_t>(x);
            log_[x] = i;
            x = (x << 1) ^ ((x & 0x80) ? polynomial : 0);
        }
        generator_ = {1};
        for (std::size_t j = 1; j <= parity; ++j) {  // multiply by (x + alpha^j)
            std::vector<std::uint8_t> next(generator_.size() + 1, 0);
            for (std::size_t i = 0; i < generator_.size(); ++i) {
                next[i + 1] ^= generator_[i];
                next[i] ^= mul(generator_[i], exp_[j]);
            }
            generator_ = next;
        }
    }

    Codeword encode(const std::vector<std::uint8_t>& data) const {
        const std::size_t k = 255 - parity_;
        // d(x) * x^parity, reduced modulo the monic g(x).
        std::vector<std::uint8_t> rest(255, 0);
        std::copy(data.begin(), data.end(), rest.begin() + static_cast<std::ptrdiff_t>(parity_));
        for (std::size_t degree = 254; degree >= parity_; --degree) {
            const std::uint8_t lead = rest[degree];
            if (lead == 0) continue;
            for (std::size_t i = 0; i <= parity_; ++i)
                rest[degree - parity_ + i] ^= mul(lead, generator_[i]);
        }
        Codeword word{};
        std::copy(data.begin(), data.end(), word.begin());
        std::copy(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(parity_),
                  word.begin() + static_cast<std::ptrdiff_t>(k));
        return word;
    }

  private:
    std::uint8_t mul(std::uint8_t a, std::uint8_t b) const {
        return (a == 0 || b == 0) ? 0 : exp_[log_[a] + log_[b]];
    }
    std::size_t parity_;
    std::array<std::uint8_t, 510> exp_{};
    std::array<unsigned, 256> log_{};
    std::vector<std::uint8_t> generator_;
};

std::vector<std::uint8_t> randomData(std::size_t count, std::mt19937& random) {
    std::vector<std::uint8_t> data(count);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
    return data;
}

struct CodeCase {
    const ReedSolomonCode& code;
    unsigned polynomial;
    std::size_t parity;
};

class ReedSolomon : public ::testing::TestWithParam<bool> {
  protected:
    CodeCase codeCase() const {
        return GetParam() ? CodeCase{ReedSolomonCode::systemPages(), 0x169, 16}
                          : CodeCase{ReedSolomonCode::dataPages(), 0x11D, 4};
    }
};

TEST_P(ReedSolomon, RepairsUpToHalfTheParityAnywhere) {
    const auto [code, polynomial, parity] = codeCase();
    const TestEncoder encoder(polynomial, parity);
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const Codeword original = encoder.encode(randomData(code.dataBytes(), random));
        Codeword word = original;
        ASSERT_TRUE(code.correct(word));
        ASSERT_EQ(word, original);
        const std::size_t errors = 1 + static_cast<std::size_t>(round) % (parity / 2);
        for (std::size_t e = 0; e < errors; ++e)
            word[random() % 255] ^= static_cast<std::uint8_t>(1 + random() % 255);
        EXPECT_TRUE(code.correct(word)) << "round " << round;
        EXPECT_EQ(word, original) << "round " << round;
    }
}

TEST_P(ReedSolomon, NeverReturnsAWordThatIsNoCodeword) {
    const auto [code, polynomial, parity] = codeCase();
    const TestEncoder encoder(polynomial, parity);
    std::mt19937 random(11);
    int refused = 0;
    for (int round = 0; round < 200; ++round) {
        Codeword word = encoder.encode(randomData(code.dataBytes(), random));
        std::array<std::uint8_t, 255> positions{};
        std::iota(positions.begin(), positions.end(), 0);
        std::shuffle(positions.begin(), positions.end(), random);
        for (std::size_t e = 0; e <= parity / 2; ++e)
            word[positions[e]] ^= static_cast<std::uint8_t>(1 + random() % 255);
        const Codeword received = word;
        if (!code.correct(word)) {
            ++refused;
            continue;
        }
        // Beyond its reach a code may still land on another codeword, never
        // on something in between, and never by changing more than parity/2 bytes.
        std::size_t changed = 0;
        for (std::size_t i = 0; i < 255; ++i) changed += word[i] != received[i] ? 1 : 0;
        EXPECT_LE(changed, parity / 2);
        const Codeword result = word;
        EXPECT_TRUE(code.correct(word));
        EXPECT_EQ(word, result);
    }
    // With 16 parity bytes, nine errors are noticed (practically) always.
    if (parity == 16) {
        EXPECT_EQ(refused, 200);
    }
}

INSTANTIATE_TEST_SUITE_P(SystemAndDataPages, ReedSolomon, ::testing::Bool());

TEST(ReedSolomonInterleaving, ByteJOfBlockIIsAtIPlusJTimesBlocks) {
    const TestEncoder encoder(0x11D, 4);
    std::mt19937 random(3);
    const std::size_t blocks = 3;
    std::vector<std::uint8_t> expected;
    std::vector<std::uint8_t> stored(blocks * 255 + 17, 0xEE);  // trailing padding is ignored
    for (std::size_t b = 0; b < blocks; ++b) {
        const auto data = randomData(251, random);
        expected.insert(expected.end(), data.begin(), data.end());
        const Codeword word = encoder.encode(data);
        for (std::size_t j = 0; j < 255; ++j) stored[b + j * blocks] = word[j];
    }
    stored[1 + 3 * 100] ^= 0x42;  // one error in the second codeword
    EXPECT_EQ(decodeInterleaved(stored, blocks, ReedSolomonCode::dataPages()), expected);

    EXPECT_THROW(decodeInterleaved(std::span(stored).first(blocks * 255 - 1), blocks,
                                   ReedSolomonCode::dataPages()),
                 std::runtime_error);
    EXPECT_THROW(decodeInterleaved(stored, 0, ReedSolomonCode::dataPages()), std::runtime_error);
    for (std::size_t j = 0; j < 3; ++j)
        stored[2 + 3 * (10 * j)] ^= 0x11;  // three errors in the third
    EXPECT_THROW(decodeInterleaved(stored, blocks, ReedSolomonCode::dataPages()),
                 std::runtime_error);
}

}  // namespace
