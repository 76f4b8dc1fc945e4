#include "nonce_source.h"

#include <array>

namespace camsim {

NonceSource::NonceSource() {
    // Seed the whole engine state, not just one word of it.
    std::random_device device;
    std::array<std::random_device::result_type, 8> seed{};
    for (auto& word : seed) word = device();
    std::seed_seq sequence(seed.begin(), seed.end());
    engine_.seed(sequence);
}

drovik::Nonce NonceSource::next() {
    drovik::Nonce nonce{};
    for (std::size_t i = 0; i < nonce.size(); i += 8) {
        std::uint64_t word = engine_();
        for (std::size_t j = 0; j < 8; ++j) nonce[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
    return nonce;
}

}  // namespace camsim
