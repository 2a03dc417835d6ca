#include "ReedSolomon.h"

#include <algorithm>

#include "ContainerError.h"

namespace dwg::container {

ReedSolomonCode::ReedSolomonCode(unsigned primitivePolynomial, std::size_t parityBytes)
    : parity_(std::min<std::size_t>(parityBytes, 32)) {
    unsigned x = 1;
    for (unsigned i = 0; i < 255; ++i) {
        exp_[i] = static_cast<std::uint8_t>(x);
        log_[x] = i;
        x <<= 1;
        if (x & 0x100) x ^= primitivePolynomial;
    }
    for (unsigned i = 255; i < exp_.size(); ++i) exp_[i] = exp_[i - 255];
    timesRoot_.resize(parity_);
    for (std::size_t j = 0; j < parity_; ++j)
        for (unsigned v = 0; v < 256; ++v)
            timesRoot_[j][v] =
                multiply(static_cast<std::uint8_t>(v), power(static_cast<unsigned>(j + 1)));
}

bool ReedSolomonCode::hasZeroSyndromes(
    std::span<const std::uint8_t, kCodewordSize> codeword) const {
    // All roots advance together: independent chains keep the processor busy.
    std::array<std::uint8_t, 32> syndromes{};
    for (std::size_t i = kCodewordSize; i-- > 0;)
        for (std::size_t j = 0; j < parity_; ++j)
            syndromes[j] = timesRoot_[j][syndromes[j]] ^ codeword[i];
    for (std::size_t j = 0; j < parity_; ++j)
        if (syndromes[j] != 0) return false;
    return true;
}

const ReedSolomonCode& ReedSolomonCode::systemPages() {
    static const ReedSolomonCode code(0x169, 16);
    return code;
}

const ReedSolomonCode& ReedSolomonCode::dataPages() {
    static const ReedSolomonCode code(0x11D, 4);
    return code;
}

std::uint8_t ReedSolomonCode::multiply(std::uint8_t a, std::uint8_t b) const {
    if (a == 0 || b == 0) return 0;
    return exp_[log_[a] + log_[b]];
}

std::uint8_t ReedSolomonCode::divide(std::uint8_t a, std::uint8_t b) const {
    if (a == 0) return 0;
    return exp_[log_[a] + 255 - log_[b]];
}

// Coefficient i of `polynomial` belongs to x^i.
std::uint8_t ReedSolomonCode::evaluate(std::span<const std::uint8_t> polynomial,
                                       std::uint8_t x) const {
    std::uint8_t result = 0;
    for (std::size_t i = polynomial.size(); i-- > 0;) result = multiply(result, x) ^ polynomial[i];
    return result;
}

bool ReedSolomonCode::correct(std::span<std::uint8_t, kCodewordSize> codeword) const {
    if (hasZeroSyndromes(codeword)) return true;
    // The code's roots are alpha^1 .. alpha^parity.
    std::vector<std::uint8_t> syndromes(parity_);
    for (std::size_t j = 0; j < parity_; ++j)
        syndromes[j] = evaluate(codeword, power(static_cast<unsigned>(j + 1)));

    // Berlekamp-Massey: the shortest error locator that explains the syndromes.
    std::vector<std::uint8_t> locator{1};
    std::vector<std::uint8_t> previous{1};
    std::size_t errorCount = 0;
    std::size_t shift = 1;
    std::uint8_t previousDiscrepancy = 1;
    for (std::size_t n = 0; n < parity_; ++n) {
        std::uint8_t discrepancy = syndromes[n];
        for (std::size_t i = 1; i <= errorCount && i < locator.size(); ++i)
            discrepancy ^= multiply(locator[i], syndromes[n - i]);
        if (discrepancy == 0) {
            ++shift;
            continue;
        }
        const std::uint8_t factor = divide(discrepancy, previousDiscrepancy);
        std::vector<std::uint8_t> updated = locator;
        if (updated.size() < previous.size() + shift) updated.resize(previous.size() + shift, 0);
        for (std::size_t i = 0; i < previous.size(); ++i)
            updated[i + shift] ^= multiply(factor, previous[i]);
        if (2 * errorCount <= n) {
            previous = locator;
            errorCount = n + 1 - errorCount;
            previousDiscrepancy = discrepancy;
            shift = 1;
        } else {
            ++shift;
        }
        locator = std::move(updated);
    }
    if (2 * errorCount > parity_) return false;

    // Error evaluator: syndromes times locator, cut at x^parity.
    std::vector<std::uint8_t> evaluator(parity_, 0);
    for (std::size_t i = 0; i < parity_; ++i)
        for (std::size_t k = 0; k < locator.size() && k <= i; ++k)
            evaluator[i] ^= multiply(syndromes[i - k], locator[k]);
    std::vector<std::uint8_t> derivative(locator.size() > 1 ? locator.size() - 1 : 1, 0);
    for (std::size_t i = 1; i < locator.size(); i += 2) derivative[i - 1] = locator[i];

    std::size_t found = 0;
    for (unsigned position = 0; position < kCodewordSize; ++position) {
        const std::uint8_t inverse = power(255 - position);
        if (evaluate(locator, inverse) != 0) continue;
        const std::uint8_t slope = evaluate(derivative, inverse);
        if (slope == 0) return false;
        codeword[position] ^= divide(evaluate(evaluator, inverse), slope);
        ++found;
    }
    return found == errorCount && hasZeroSyndromes(codeword);
}

std::vector<std::uint8_t> decodeInterleaved(std::span<const std::uint8_t> stored,
                                            std::size_t blockCount, const ReedSolomonCode& code) {
    constexpr std::size_t n = ReedSolomonCode::kCodewordSize;
    if (blockCount == 0 || blockCount > stored.size() / n)
        throwDamaged("bloco Reed-Solomon truncado");
    const std::size_t k = code.dataBytes();
    std::vector<std::uint8_t> data;
    data.reserve(blockCount * k);
    std::array<std::uint8_t, n> codeword{};
    for (std::size_t block = 0; block < blockCount; ++block) {
        for (std::size_t j = 0; j < n; ++j) codeword[j] = stored[block + j * blockCount];
        if (!code.correct(codeword) && kEnforceChecks)
            throwDamaged("bloco Reed-Solomon com erros demais");
        data.insert(data.end(), codeword.begin(),
                    codeword.begin() + static_cast<std::ptrdiff_t>(k));
    }
    return data;
}

}  // namespace dwg::container
