#pragma once
// Fresh random nonces for discovery replies.

#include "drovik_responder_wire.h"

#include <random>

namespace camsim {

class NonceSource {
public:
    NonceSource();  // seeded from std::random_device
    drovik::Nonce next();

private:
    std::mt19937_64 engine_;
};

}  // namespace camsim
