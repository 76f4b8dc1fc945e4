#pragma once
// MD5 as RFC 1321 defines it, in three steps: start a context, feed it bytes
// any number of times, finish it into the 16-byte digest.
#include <cstddef>
#include <cstdint>

struct Md5Context {
    uint32_t state[4];
    uint64_t bitCount;
    uint8_t block[64];
};

void Md5Start(Md5Context& context);
void Md5Feed(Md5Context& context, const void* data, std::size_t length);
// Writes the digest, then overwrites the whole context with zeros.
void Md5Finish(Md5Context& context, uint8_t digest[16]);
