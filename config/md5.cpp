#include "md5.h"

#include <cstring>

namespace {

// Per-round shift amounts and the sines table, RFC 1321 section 3.4.
// clang-format off
constexpr uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
// clang-format on

// clang-format off
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
// clang-format on

uint32_t RotateLeft(uint32_t x, uint32_t n) { return (x << n) | (x >> (32 - n)); }

// One 64-byte block; words are little-endian.
void Transform(uint32_t state[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = uint32_t{block[4 * i]} | uint32_t{block[4 * i + 1]} << 8 | uint32_t{block[4 * i + 2]} << 16 |
               uint32_t{block[4 * i + 3]} << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int k;
        if (i < 16) {
            f = (b & c) | (~b & d);
            k = i;
        } else if (i < 32) {
            f = (b & d) | (c & ~d);
            k = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            k = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            k = (7 * i) % 16;
        }
        const uint32_t next = b + RotateLeft(a + f + kSine[i] + x[k], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void Md5Start(Md5Context& context) {
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.bitCount = 0;
    std::memset(context.block, 0, sizeof context.block);
}

void Md5Feed(Md5Context& context, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::size_t held = (context.bitCount / 8) % 64;
    context.bitCount += static_cast<uint64_t>(length) * 8;
    while (length > 0) {
        const std::size_t take = length < 64 - held ? length : 64 - held;
        std::memcpy(context.block + held, bytes, take);
        held += take;
        bytes += take;
        length -= take;
        if (held == 64) {
            Transform(context.state, context.block);
            held = 0;
        }
    }
}

void Md5Finish(Md5Context& context, uint8_t digest[16]) {
    // Padding: a 1 bit, zeros to 56 bytes modulo 64, then the bit count, little-endian.
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(context.bitCount >> (8 * i));
    const std::size_t held = (context.bitCount / 8) % 64;
    static const uint8_t kPadding[64] = {0x80};
    Md5Feed(context, kPadding, held < 56 ? 56 - held : 120 - held);
    Md5Feed(context, length, sizeof length);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(context.state[i] >> (8 * j));
    // Nothing of the input may stay behind.
    volatile uint8_t* wipe = reinterpret_cast<volatile uint8_t*>(&context);
    for (std::size_t i = 0; i < sizeof context; ++i) wipe[i] = 0;
}
